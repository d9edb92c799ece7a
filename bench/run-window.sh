#!/usr/bin/env bash
# The mailbox window as a user meets it, beside the command line on the same file in the same
# run: real mail (the shared list archive repeated to about 1 GB, classic and Thunderbird form)
# opened in the window on the offscreen platform, from the open call to the first rows painted
# and to the last row shown, and the Body and Source filters, against `pellora-cli list` and
# `pellora-cli filter`; then the list load alone in one thread and two against `wc -l`; then the
# reopen with the row cache against without it.
# PELLORA_BENCH_WINDOW_MB names more sizes ("1000 10000"): a file that does not fit in the free
# space (with a tenth to spare) is skipped. Inputs are made once into $build/bench-data.
set -euo pipefail
build=${1:-build}
data=${PELLORA_BENCH_DATA:-$build/bench-data}
runs=${PELLORA_BENCH_RUNS:-3}
sizes=${PELLORA_BENCH_WINDOW_MB:-1000}
mkdir -p "$data"
source "$(dirname "$0")/inputs.sh"
if ! have_real; then
  echo "window: $real_mbox is absent; skipped"
  exit 0
fi
make_real_mailboxes
missing="no such text q7z"

figure() { awk -v k="$1" '$1 == "figures" { for (i = 2; i < NF; i += 2) if ($i == k) print $(i + 1) }'; }

# The archive repeated to at least $1 MB, classic form; empty when the space is short.
repeated() {
  local mb=$1 path=$data/real-classic-${1}m copies free_mb
  if [ ! -f "$path" ]; then
    free_mb=$(df -Pm "$data" | awk 'NR == 2 { print $4 }')
    if [ "$free_mb" -lt $((mb + mb / 10)) ]; then
      echo "window: no room for $path ($free_mb MB free); skipped" >&2
      return 0
    fi
    copies=$(awk -v s="$(stat -c %s "$real_mbox")" -v m="$mb" 'BEGIN { n = int(m * 1e6 / s); if (n * s < m * 1e6) n++; print n }')
    echo "generating $path ($copies copies of $real_mbox) ..." >&2
    for _ in $(seq "$copies"); do cat "$real_mbox"; done > "$path.tmp"
    mv "$path.tmp" "$path"
  fi
  echo "$path"
}

window_row() {
  local label=$1 path=$2 out cli_list cli_body cli_source load wc_s gb
  [ -n "$path" ] && [ -f "$path" ] || return 0
  echo "== $label: $path"
  cat "$path" > /dev/null
  out=$("$build/bench_window" "$path" "$runs" "$missing" 2>/dev/null)
  echo "$out" | grep -v '^figures'
  cli_list=$(best_seconds "$build/pellora-cli" list "$path")
  cli_body=$(best_seconds "$build/pellora-cli" filter "$path" 5 "$missing")
  cli_source=$(best_seconds "$build/pellora-cli" filter "$path" 6 "$missing")
  awk -v w="$(echo "$out" | figure open_s)" -v c="$cli_list" -v f="$(echo "$out" | figure first_s)" \
    'BEGIN { printf "  pellora-cli list: %.3f s; window open / cli list: %.2f (goal at most 1.2); first rows %.3f s (goal at most 0.3)\n", c, w / c, f }'
  # The command's filter includes its load and its start; the window's is the pass alone.
  awk -v w="$(echo "$out" | figure body_s)" -v c="$cli_body" \
    'BEGIN { printf "  pellora-cli filter 5: %.3f s (load included); window Body filter / cli: %.2f (goal at most 1.2)\n", c, w / c }'
  awk -v w="$(echo "$out" | figure source_s)" -v c="$cli_source" \
    'BEGIN { printf "  pellora-cli filter 6: %.3f s (load included); window Source filter / cli: %.2f (goal at most 1.2)\n", c, w / c }'
  load=$("$build/bench_window" --load "$path" "$runs")
  echo "$load" | grep -v '^figures'
  wc_s=$(best_seconds wc -l "$path")
  gb=$(stat -c %s "$path")
  awk -v one="$(echo "$load" | figure load1_s)" -v two="$(echo "$load" | figure load2_s)" -v w="$wc_s" -v b="$gb" \
    'BEGIN { printf "  list load: one thread %.2f GB/s, two threads %.2f GB/s (goal at least 1.5); wc -l %.2f GB/s; two threads / wc -l time: %.2f (goal at most 4)\n", b / one / 1e9, b / two / 1e9, b / w / 1e9, two / w }'
}

# Reopening with the row cache (in the build folder) against without it; the cache's size against
# the rows' memory.
reopen_row() {
  local path=$1 out cold_list warm_list
  [ -n "$path" ] && [ -f "$path" ] || return 0
  echo "== reopen: $path"
  mkdir -p "$build/bench-cache"
  out=$("$build/bench_window" --reopen "$path" "$build/bench-cache" "$runs")
  echo "$out" | grep -v '^figures'
  awk -v c="$(echo "$out" | figure cold_s)" -v w="$(echo "$out" | figure warm_s)" \
      -v b="$(echo "$out" | figure cache_b)" -v m="$(echo "$out" | figure memory_b)" \
    'BEGIN { printf "  from the cache / without: %.3f (%.1fx faster); cache / memory of the rows: %.3f (goal at most 0.25)\n", w / c, c / w, b / m }'
  cold_list=$(best_seconds "$build/pellora-cli" list "$path")
  warm_list=$(PELLORA_CACHE_DIR=$build/bench-cache best_seconds "$build/pellora-cli" list "$path")
  awk -v c="$cold_list" -v w="$warm_list" \
    'BEGIN { printf "  pellora-cli list without the cache %.3f s, from it %.3f s: %.3f\n", c, w, w / c }'
}

window_row "real mail, Thunderbird form" "$real_marked"
for mb in $sizes; do
  window_row "real mail, classic form, ${mb} MB" "$(repeated "$mb")"
done
# The archive itself first: its copies repeat its rows, which the cache holds as good as once.
reopen_row "$real_mbox"
reopen_row "$real_marked"
for mb in $sizes; do
  reopen_row "$(repeated "$mb")"
done
