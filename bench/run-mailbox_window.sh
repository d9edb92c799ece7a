#!/usr/bin/env bash
# Mailbox window: the Source and Body filters side by side with grep and GMime 3, real mail first
# (the shared list archive as a Thunderbird and a classic mailbox file, a DBX of 100,000 of its
# messages and a folder of 20,000 of them), then the generated mailbox file with sorting and
# address collection of 100,000 rows, and threads on and off. Inputs are made once into
# $build/bench-data (never committed).
set -euo pipefail
build=${1:-build}
data=${PELLORA_BENCH_DATA:-$build/bench-data}
size_mb=${PELLORA_BENCH_MAILBOX_MB:-1100}
runs=${PELLORA_BENCH_RUNS:-3}
mkdir -p "$data"
source "$(dirname "$0")/inputs.sh"
mailbox=$data/mailbox-${size_mb}m
if [ ! -f "$mailbox" ]; then
  echo "generating $mailbox ..."
  "$build/bench_stores_gen_mailbox" "$mailbox" "$size_mb"
fi
make_real_mailboxes
make_real_dbx
make_real_folder

missing="no such text q7z"
# Best of $runs for grep -c -i -F of the text found nowhere, over a file or a folder's files, in
# the C locale (its fastest case).
grep_seconds() {
  if [ -d "$1" ]; then best_seconds env LC_ALL=C grep -r -c -i -F --include='*.eml' "$missing" "$1"
  else best_seconds env LC_ALL=C grep -c -i -F "$missing" "$1"; fi
}

# One store: the filters, then grep on the same bytes; the ratio's goal is at most 1.
filters() {
  local label=$1 path=$2 kind=$3 mode=$4 out source grep_s
  [ -e "$path" ] || return 0
  echo "== $label"
  if [ -d "$path" ]; then cat "$path"/*.eml > /dev/null; else cat "$path" > /dev/null; fi
  out=$("$build/bench_mailbox_window" "$path" "$runs" "$kind" $mode)
  echo "$out" | grep -v '^figures'
  source=$(echo "$out" | awk '$1 == "figures" { print $3 }')
  grep_s=$(grep_seconds "$path")
  awk -v o="$source" -v g="$grep_s" 'BEGIN { printf "  grep -c -i -F, text found nowhere: %.3f s; Source filter / grep time: %.2f (goal at most 1)\n", g, o / g }'
}

filters "real mail, Thunderbird form" "$real_marked" 2 --filters-only
filters "real mail, classic form" "$real_classic" 2 --filters-only
filters "real mail, DBX of 100,000 messages" "$real_dbx" 0 --filters-only
filters "real mail, folder of 20,000 .eml files" "$real_folder" 1 --filters-only
filters "generated mail" "$mailbox" 2 ""

# Threads on and off: the list archive as it is and repeated (every message many times, so every
# Message-ID duplicated), and the generated mailbox; switching threads on stays under a second
# (PELLORA_BENCH_MAILBOX_MB=1650 generates 75,992 messages, in threads of 40).
threads() {
  [ -e "$2" ] || return 0
  echo "== threads, $1"
  "$build/bench_mailbox_window" "$2" "$runs" 2 --threads-only
}
have_real && threads "real list archive" "$real_mbox"
threads "real mail, classic form" "$real_classic"
threads "generated mail" "$mailbox"

# About a million rows: short messages (about 2 KB each), 1.9 GB of them; the sort by every
# column with the collator, a header-field filter and the rows' memory
# (PELLORA_BENCH_ROWS_MB=0 skips it).
rows_mb=${PELLORA_BENCH_ROWS_MB:-1900}
if [ "$rows_mb" -gt 0 ]; then
  many=$data/mailbox-small-${rows_mb}m
  if [ ! -f "$many" ]; then
    echo "generating $many ..."
    "$build/bench_stores_gen_mailbox" "$many" "$rows_mb" --small
  fi
  echo "== many rows, generated short messages"
  "$build/bench_mailbox_window" "$many" "$runs" 2 --rows-only
fi
