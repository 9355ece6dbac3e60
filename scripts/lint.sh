#!/usr/bin/env bash
# Static analysis of the project's own code: clang-tidy with the checks of
# .clang-tidy over every source in the compile database, in parallel, and the
# .clang-format check. Each finding is one line, `file:line:column: message
# [check]`, with paths from the repository root; any finding fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TESSALINE_LINT_DIR:-$root/build-lint}
jobs=$(nproc)
project='(main|host|source|hostapp|tests|bench)/'
cd "$root"

# Only the compile database is needed: nothing is built. Clang's own flags,
# as clang-tidy reads them, and the fuzz targets are in it too.
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DTESSALINE_FUZZ=ON \
  -DTESSALINE_SANITIZE= >/dev/null

# Diagnostics only (no code excerpts), relative paths, each once: a header's
# finding is reported by every source that includes it.
findings() {
  sed -e 's/\x1b\[[0-9;]*m//g' -e "s|^$root/||" | grep -E "^$project[^:]*:[0-9]+:[0-9]+: (warning|error): " |
    sed 's/,-warnings-as-errors\]$/]/' | awk '!seen[$0]++' || true
}

sources=()
while IFS= read -r file; do sources+=("$file"); done < <(
  git ls-files -- main host source hostapp tests bench | grep -E '\.(c|cpp|h)$' | grep -v '^tests/fuzz/corpus/')

# Runs a tool into a log; its findings, or the log's end when it failed
# without any (a crash, a missing tool), which fails the stage as well.
run() {
  local name=$1
  shift
  local log="$build/$name.log" code=0
  "$@" >"$log" 2>&1 || code=$?
  local found
  found=$(findings <"$log")
  if [ "$code" -ne 0 ] && [ -z "$found" ]; then
    tail -n 20 "$log" >&2
    echo "lint: $name failed (exit $code) without a finding; see $log" >&2
    exit 1
  fi
  printf '%s' "$found"
}

echo "lint: clang-format over ${#sources[@]} files"
format=$(run clang-format clang-format --dry-run --Werror "${sources[@]}")
# The static analyzer's path search over GoogleTest's expanded assertions
# costs five times the rest of a test's checks and finds little there, so
# tests and benchmarks get every check but the analyzer.
echo "lint: clang-tidy over the compile database, $jobs jobs"
product=$(run clang-tidy-product run-clang-tidy -j "$jobs" -p "$build" -quiet "^$root/(main|host|source|hostapp)/")
tests=$(run clang-tidy-tests run-clang-tidy -j "$jobs" -p "$build" -quiet -checks='-clang-analyzer-*' "^$root/(tests|bench)/")

report=$(printf '%s\n%s\n%s\n' "$format" "$product" "$tests" | awk 'NF && !seen[$0]++')
if [ -n "$report" ]; then
  echo "$report"
  echo "lint: $(echo "$report" | wc -l) findings" >&2
  exit 1
fi
echo "lint: clean"
