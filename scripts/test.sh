#!/usr/bin/env bash
# Sets up, builds (warnings are errors) and runs every test on the offscreen platform.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-test"

"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DWORVANE_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" "$@"
