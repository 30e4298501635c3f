#!/usr/bin/env bash
# Builds the fuzzers with clang and runs each for a bounded time (seconds, default 15) on its corpus in
# fuzz/corpus/, where inputs that reach new code are kept.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-15}"
build="$root/build-fuzz"
targets=(fuzz_dates fuzz_cp932_limit fuzz_settings fuzz_report)

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
  -DWORVANE_FUZZ=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

passed=0
failed=0
for t in "${targets[@]}"; do
  mkdir -p "$root/fuzz/corpus/$t"
  if ASAN_OPTIONS=detect_leaks=0 "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=0 -artifact_prefix="$build/$t-" "$root/fuzz/corpus/$t" >"$build/$t.log" 2>&1; then
    echo "fuzz $t: ok ($(grep -c . <(ls "$root/fuzz/corpus/$t")) inputs in the corpus)"
    passed=$((passed + 1))
  else
    echo "fuzz $t: FAILED"; tail -40 "$build/$t.log"
    failed=$((failed + 1))
  fi
done
echo "fuzzers: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
