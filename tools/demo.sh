#!/usr/bin/env bash
# Sets the machine up, builds DBSetup.exe and runs it under Wine on a simulated
# fresh 64-bit Windows 10, printing every message box as the user sees it, the
# folder in C:\ProgramData that the setup package was copied to, ran from and
# unpacked in, and that nothing of it is left there or beside DBSetup.exe.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -eq 0 ]; then bash tools/setup.sh; else sudo bash tools/setup.sh; fi

cmake --preset host >/dev/null
cmake --build --preset host --target dbsetup_win32 e2e_tools >/dev/null
/usr/bin/python3 tests/e2e/run_e2e.py demo --work build/host/e2e \
    --exe build/host/win32/DBSetup.exe --tools build/host/tests/e2e --shots build/host/screenshots "$@"
