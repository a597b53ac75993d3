#!/usr/bin/env bash
# Runs each fuzz target for a bounded time over a scratch copy of its corpus
# in fuzz/corpus/, and prints how many inputs it ran.
set -euo pipefail
build=$1
seconds=$2
shift 2
for target in "$@"; do
  work=$(mktemp -d)
  cp -r "fuzz/corpus/$target/." "$work/"
  log=$build/$target.log
  if ! "$build/${target}_fuzz" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
      -print_final_stats=1 "$work" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "fuzz: $target FAILED"
    rm -rf "$work"
    exit 1
  fi
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
  echo "fuzz: $target ran $runs inputs in ${seconds} s with no crash, leak or sanitizer report"
  rm -rf "$work"
done
