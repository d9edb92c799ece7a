#!/usr/bin/env bash
# Store benchmarks, side by side with the peers measured in the same run.
# Data is generated once into $build/bench-data (never committed).
set -euo pipefail
build=${1:-build}
data=${PELLORA_BENCH_DATA:-$build/bench-data}
size_mb=${PELLORA_BENCH_MAILBOX_MB:-1100}
mkdir -p "$data"
source "$(dirname "$0")/inputs.sh"
mailbox=$data/mailbox-${size_mb}m
if [ ! -f "$mailbox" ]; then
  echo "generating $mailbox ..."
  "$build/bench_stores_gen_mailbox" "$mailbox" "$size_mb"
fi
# The same mail in classic form (an envelope sender on each separator, no marker lines).
classic=$data/mailbox-classic-${size_mb}m
if [ ! -f "$classic" ]; then
  echo "generating $classic ..."
  "$build/bench_stores_gen_mailbox" "$classic" "$size_mb" --classic
fi
get() { awk -v k="$1" '$1 == k { print $2 }'; }

# Best of three for each contender: the machine is shared.
best_of() {
  local best="" out
  for _ in 1 2 3; do
    out=$("$@")
    t=$(echo "$out" | get load_s)
    if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then
      best=$t
      kept=$out
    fi
  done
  echo "$kept"
}

wc_seconds() {
  local best="" s e t
  for _ in 1 2 3; do
    s=$(date +%s.%N); wc -l "$1" > /dev/null; e=$(date +%s.%N)
    t=$(awk -v s="$s" -v e="$e" 'BEGIN { print e - s }')
    if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
  done
  echo "$best"
}

# Real mail first: list load of each store kind, mailbox files beside GMime's headers-only parse
# and wc -l; memory per listed message.
make_real_mailboxes
make_real_dbx
make_real_folder
list_row() {
  local label=$1 path=$2 kind=$3 out peer w
  [ -e "$path" ] || return 0
  if [ -d "$path" ]; then cat "$path"/*.eml > /dev/null; else cat "$path" > /dev/null; fi
  out=$(best_of "$build/bench_stores" list "$kind" "$path")
  echo "$label: $path ($(echo "$out" | get bytes) bytes, $(echo "$out" | get messages) messages)"
  printf '  %-34s %8s s  %8s MB/s (goal at least 1000 MB/s)\n' "list load (ours)" "$(echo "$out" | get load_s)" "$(echo "$out" | get load_mb_s)"
  if [ "$kind" = 2 ]; then
    peer=$(best_of "$build/bench_stores" gmime "$path")
    w=$(wc_seconds "$path")
    printf '  %-34s %8s s  %8s MB/s\n' "GMime 3 headers-only parse (peer)" "$(echo "$peer" | get load_s)" "$(echo "$peer" | get load_mb_s)"
    printf '  %-34s %8.3f s\n' "wc -l" "$w"
  fi
  echo "  peak RSS $(echo "$out" | get peak_rss_kb) KB; $(echo "$out" | get bytes_per_message) bytes per listed message (goal at most 1024)"
}
list_row "Real mail, Thunderbird form" "$real_marked" 2
list_row "Real mail, classic form" "$real_classic" 2
list_row "Real mail, DBX of 100,000 messages" "$real_dbx" 0
list_row "Real mail, folder of 20,000 .eml files" "$real_folder" 1

cat "$mailbox" > /dev/null # into the page cache

ours=$(best_of "$build/bench_stores" mailbox "$mailbox")
peer=$(best_of "$build/bench_stores" gmime "$mailbox")
wc_best=$(wc_seconds "$mailbox")
bytes=$(echo "$ours" | get bytes)

echo "Generated mail, mailbox file: $mailbox ($bytes bytes, $(echo "$ours" | get messages) messages)"
printf '  %-34s %8s s  %8s MB/s\n' "LoadMailboxFile (ours)" "$(echo "$ours" | get load_s)" "$(echo "$ours" | get load_mb_s)"
printf '  %-34s %8s s  %8s MB/s  (%s messages)\n' "GMime 3 mbox parse (peer)" "$(echo "$peer" | get load_s)" "$(echo "$peer" | get load_mb_s)" "$(echo "$peer" | get messages)"
printf '  %-34s %8.3f s  %8.1f MB/s\n' "wc -l" "$wc_best" "$(awk -v b="$bytes" -v t="$wc_best" 'BEGIN { print b / 1e6 / t }')"
awk -v o="$(echo "$ours" | get load_s)" -v g="$(echo "$peer" | get load_s)" -v w="$wc_best" \
  'BEGIN { printf "  ours vs GMime: %.2fx the throughput (goal 3x); ours vs wc -l: %.2fx\n", g / o, w / o }'
echo "  sort by Received: $(echo "$ours" | get sort_s) s"
echo "  peak RSS $(echo "$ours" | get peak_rss_kb) KB; $(echo "$ours" | get bytes_per_message) bytes per listed message"
echo "  read back the last message ($(echo "$ours" | get last_message_bytes) bytes): $(echo "$ours" | get read_back_offset_ms) ms by offset, $(echo "$ours" | get read_back_counting_ms) ms counting lines"

cat "$classic" > /dev/null
ours_classic=$(best_of "$build/bench_stores" mailbox "$classic")
peer_classic=$(best_of "$build/bench_stores" gmime "$classic")
echo "Classic mailbox file of the same mail: $classic ($(echo "$ours_classic" | get bytes) bytes, $(echo "$ours_classic" | get messages) messages)"
printf '  %-34s %8s s  %8s MB/s\n' "LoadMailboxFile, classic (ours)" "$(echo "$ours_classic" | get load_s)" "$(echo "$ours_classic" | get load_mb_s)"
printf '  %-34s %8s s  %8s MB/s\n' "LoadMailboxFile, Thunderbird (ours)" "$(echo "$ours" | get load_s)" "$(echo "$ours" | get load_mb_s)"
printf '  %-34s %8s s  %8s MB/s  (%s messages)\n' "GMime 3 mbox parse, classic (peer)" "$(echo "$peer_classic" | get load_s)" "$(echo "$peer_classic" | get load_mb_s)" "$(echo "$peer_classic" | get messages)"
awk -v c="$(echo "$ours_classic" | get load_mb_s)" -v t="$(echo "$ours" | get load_mb_s)" -v g="$(echo "$peer_classic" | get load_s)" -v o="$(echo "$ours_classic" | get load_s)" \
  'BEGIN { printf "  classic vs Thunderbird: %.2fx the throughput (goal 1x); classic vs GMime: %.2fx\n", c / t, g / o }'
echo "  read back the last message ($(echo "$ours_classic" | get last_message_bytes) bytes): $(echo "$ours_classic" | get read_back_offset_ms) ms by offset, $(echo "$ours_classic" | get read_back_counting_ms) ms counting lines"

dbx=$("$build/bench_stores" dbx 100000 "$data/bench-100k.dbx")
echo "DBX of $(echo "$dbx" | get dbx_messages) messages ($(echo "$dbx" | get dbx_bytes) bytes):"
echo "  Open + ReadMessageInfos: $(echo "$dbx" | get dbx_open_s) s"
echo "  every message text: $(echo "$dbx" | get dbx_text_bytes) bytes in $(echo "$dbx" | get dbx_read_s) s = $(echo "$dbx" | get dbx_read_mb_s) MB/s"

# Recovery: one pass over a DBX whose index reaches every other message, beside undbx --recover
# (which writes every message it finds as a file) on the same file.
recover_mb=${PELLORA_BENCH_RECOVER_MB:-1024}
recover_dbx=$data/recover-${recover_mb}m.dbx
rec=$("$build/bench_stores" recover "$recover_mb" "$recover_dbx")
echo "DBX for recovery: $recover_dbx ($(echo "$rec" | get bytes) bytes, $(echo "$rec" | get listed) listed, $(echo "$rec" | get recovered) recovered)"
printf '  %-34s %8s s\n' "load, index only (ours)" "$(echo "$rec" | get list_s)"
printf '  %-34s %8s s  %8s MB/s\n' "load with recovery (ours)" "$(echo "$rec" | get recover_s)" "$(echo "$rec" | get recover_mb_s)"
echo "  peak RSS $(echo "$rec" | get peak_rss_kb) KB"
if command -v undbx > /dev/null; then
  out_dir=$(mktemp -d)
  s=$(date +%s.%N); undbx --recover "$recover_dbx" "$out_dir" > /dev/null 2>&1 || true; e=$(date +%s.%N)
  found=$(find "$out_dir" -type f | wc -l)
  rm -rf "$out_dir"
  awk -v s="$s" -v e="$e" -v o="$(echo "$rec" | get recover_s)" -v n="$found" \
    'BEGIN { printf "  %-34s %8.3f s  (%d messages written)\n  ours vs undbx --recover: %.2fx the time\n", "undbx --recover (peer)", e - s, n, o / (e - s) }'
else
  echo "  undbx is not installed: no peer figure"
fi

# Compressed mailbox files: the shared list archive in each form, beside the decompressor alone.
if [ -f "$real_mbox" ]; then
  for form in "gzip gz" "bzip2 bz2" "xz xz" "zstd zst"; do
    set -- $form
    packed=$data/usrp-users.mbox.$2
    [ -f "$packed" ] || "$1" -c < "$real_mbox" > "$packed"
    cat "$packed" > /dev/null
    out=$(best_of "$build/bench_stores" compressed "$packed")
    best=""
    for _ in 1 2 3; do
      s=$(date +%s.%N); "$1" -dc < "$packed" > /dev/null; e=$(date +%s.%N)
      t=$(awk -v s="$s" -v e="$e" 'BEGIN { print e - s }')
      if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
    done
    echo "Compressed mailbox file ($1): $packed ($(echo "$out" | get bytes) bytes, $(echo "$out" | get messages) messages)"
    printf '  %-34s %8s s\n' "list load (ours)" "$(echo "$out" | get load_s)"
    printf '  %-34s %8.3f s\n' "$1 -dc > /dev/null (peer)" "$best"
    echo "  peak RSS $(echo "$out" | get peak_rss_kb) KB; $(echo "$out" | get bytes_per_message) bytes per listed message"
    echo "  every row's text in the file's order: $(echo "$out" | get forward_s) s; one row alone, decompressed from the start: first $(echo "$out" | get first_row_ms) ms, middle $(echo "$out" | get middle_row_ms) ms, last $(echo "$out" | get last_row_ms) ms"
  done
fi
