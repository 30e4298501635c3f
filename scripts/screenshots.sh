#!/usr/bin/env bash
# Re-creates the pictures of the windows in docs/ under a virtual X display.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-release"

"$root/scripts/setup.sh" --display
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target worvane-screenshots

display=:97
Xvfb "$display" -screen 0 1280x800x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1
mkdir -p "$root/docs"
DISPLAY="$display" QT_QPA_PLATFORM=xcb "$build/tools/worvane-screenshots" "$root/docs"
