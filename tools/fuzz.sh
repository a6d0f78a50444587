#!/usr/bin/env bash
# Runs each fuzz target for longer than CI does: tools/fuzz.sh [SECONDS] (default 600).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset fuzz -DDBSETUP_FUZZ_SECONDS="${1:-600}" >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz -j2 --verbose | grep -E "stat::|Test #|tests passed|ERROR|SUMMARY"
