#!/usr/bin/env bash
# Sets the machine up, builds everything and runs every test: the unit tests
# (also under AddressSanitizer and UndefinedBehaviorSanitizer), a short run
# of each fuzz target, the checks of the built DBSetup.exe and its bundle, and
# the end-to-end runs under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -eq 0 ]; then bash tools/setup.sh; else sudo bash tools/setup.sh; fi

cmake --preset sanitize -DDBSETUP_WERROR=ON >/dev/null
cmake --build --preset sanitize
ctest --preset sanitize

cmake --preset fuzz -DDBSETUP_FUZZ_SECONDS=20 -DDBSETUP_WERROR=ON >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz -j2

cmake --preset host -DDBSETUP_WERROR=ON >/dev/null
cmake --build --preset host
ctest --preset all
