#!/usr/bin/env bash
# Sets up, builds (Release, build-bench) and runs the benchmarks: one table, every action of the program
# beside its floor measured in the same run. The generated database (about 190 MB) is made once and kept
# in /tmp/worvane-bench; pass --data FOLDER to keep it elsewhere, --runs N for more runs per side.
# Exit status 3: every row ran, and at least one ratio missed its target.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-bench"
lock=/tmp/worvane-build.lock

"$root/scripts/setup.sh"
flock "$lock" sh -c "cmake -S '$root' -B '$build' -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null &&
  cmake --build '$build' -j2 --target worvane-bench worvane-bench-startup worvane-bench-bare worvane-report >&2"
exec flock "$lock" env QT_QPA_PLATFORM=offscreen "$build/bench/worvane-bench" "$@"
