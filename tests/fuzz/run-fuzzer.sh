#!/usr/bin/env bash
# Runs one fuzz target for a fixed time from a scratch copy of its seeds and
# prints how many inputs it executed. Any crash, leak, timeout or sanitizer
# report fails the run.
set -euo pipefail
fuzzer=$1 seeds=$2 seconds=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus"
cp -r "$seeds"/. "$work/corpus/" 2>/dev/null || true
cd "$work"
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  "$work/corpus" 2>"$work/log" || { tail -n 60 "$work/log"; exit 1; }
grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$work/log"
