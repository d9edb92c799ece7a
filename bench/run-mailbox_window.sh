#!/usr/bin/env bash
# Mailbox window: the Source and Body filters (the Body filter against GMime 3), sorting and
# address collection of 100,000 rows, over the stores' generated mailbox file (shared with
# run-stores.sh, generated once into $build/bench-data, never committed).
set -euo pipefail
build=${1:-build}
data=${PELLORA_BENCH_DATA:-$build/bench-data}
size_mb=${PELLORA_BENCH_MAILBOX_MB:-1100}
mkdir -p "$data"
mailbox=$data/mailbox-${size_mb}m
if [ ! -f "$mailbox" ]; then
  echo "generating $mailbox ..."
  "$build/bench_stores_gen_mailbox" "$mailbox" "$size_mb"
fi
cat "$mailbox" > /dev/null # into the page cache
"$build/bench_mailbox_window" "$mailbox" "${PELLORA_BENCH_RUNS:-3}"
