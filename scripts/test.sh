#!/bin/bash
# Builds the shipped 32-bit executable and the 64-bit test build, then runs
# every test: unit tests and end-to-end tests under Wine, the checks of both
# executables and the card service's own tests.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

scripts/setup.sh
cmake --preset x86-release >/dev/null
cmake --build --preset x86-release -j2
cmake --preset x64-test >/dev/null
cmake --build --preset x64-test -j2

scripts/wine-session start
trap 'scripts/wine-session stop' EXIT
ctest --preset x64-test -j2 "$@"
