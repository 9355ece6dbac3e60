#!/usr/bin/env bash
# Runs the whole test suite under AddressSanitizer with UndefinedBehaviorSanitizer,
# and the multi-threaded render tests under ThreadSanitizer. Any report fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:halt_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$root/cmake/lsan.supp"
asan=${TESSALINE_ASAN_DIR:-$root/build-asan}
cmake -S "$root" -B "$asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSALINE_SANITIZE=address -DTESSALINE_BENCH=OFF >/dev/null
cmake --build "$asan" -j "$jobs"
ctest --test-dir "$asan" --output-on-failure -j "$jobs"

# Debian's Embree, TBB and libstdc++ are not instrumented. Embree's worker
# threads reach string functions of libstdc++ without a frame of Embree's on
# the stack, so only TSan's own switch can tell those calls apart:
# ignore_noninstrumented_modules checks interceptors only when instrumented
# code calls them. Every access of project code is still checked; the
# suppressions (with their reasons) name Embree and TBB only.
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1:suppressions=$root/cmake/tsan.supp"
tsan=${TESSALINE_TSAN_DIR:-$root/build-tsan}
cmake -S "$root" -B "$tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSALINE_SANITIZE=thread -DTESSALINE_BENCH=OFF >/dev/null
cmake --build "$tsan" -j "$jobs" --target test_threads test_render_threads test_web test_web_threads
ctest --test-dir "$tsan" --output-on-failure -L threads
