#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time
# (FUZZ_SECONDS, 30 by default) from its committed seed corpus. A crash, hang,
# leak or sanitizer report fails; the input that caused it is kept in
# build-fuzz/artifacts so it can join the corpus once fixed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TESSALINE_FUZZ_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-30}
targets=(string_table symbols description events scene obj shade assets)

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTESSALINE_FUZZ=ON -DTESSALINE_SANITIZE=fuzzer -DTESSALINE_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS="suppressions=$root/cmake/lsan.supp"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$build/artifacts"
for target in "${targets[@]}"; do
  # New inputs go to a scratch folder; the committed seeds are only read.
  scratch=$(mktemp -d)
  echo "fuzz: $target for ${seconds}s"
  "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
    "$scratch" "$root/tests/fuzz/corpus/$target" 2>"$build/artifacts/$target.log" ||
    { tail -n 40 "$build/artifacts/$target.log"; echo "fuzz: $target failed" >&2; exit 1; }
  grep -E "stat::number_of_executed_units" "$build/artifacts/$target.log" | sed "s/^/fuzz: $target /"
  rm -rf "$scratch"
done
