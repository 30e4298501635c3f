#!/usr/bin/env bash
# Sets up, builds (warnings are errors) and runs every test on the offscreen platform: first the normal
# build, then the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer, then the fuzzers
# for a bounded time each.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen

"$root/scripts/setup.sh" --test

echo "== tests"
cmake -S "$root" -B "$root/build-test" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DWORVANE_WERROR=ON >/dev/null
cmake --build "$root/build-test" -j"$jobs"
(cd "$root/build-test" && ctest --output-on-failure -j"$jobs" "$@")

echo "== tests with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DWORVANE_WERROR=ON \
  -DWORVANE_SANITIZE=ON >/dev/null
cmake --build "$root/build-asan" -j"$jobs"
(cd "$root/build-asan" &&
  ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=1 \
  LSAN_OPTIONS="suppressions=$root/tests/lsan.supp" \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --output-on-failure -j"$jobs" "$@")

echo "== fuzzers"
"$root/scripts/fuzz.sh" "${WORVANE_FUZZ_SECONDS:-15}"
