#!/usr/bin/env bash
# Export of a ~1 GB mailbox file to one mailbox file and to .eml files, side by side with cp of
# the same bytes in the same run (best of three each: the machine is shared). With
# ../shared/data present, the same for a file of repeated copies of usrp-users.mbox.
set -euo pipefail
build=${1:-build}
data=${PELLORA_BENCH_DATA:-$build/bench-data}
size_mb=${PELLORA_BENCH_MAILBOX_MB:-1100}
shared=${PELLORA_SHARED_DATA:-../shared/data}
mkdir -p "$data"
mailbox=$data/mailbox-${size_mb}m
if [ ! -f "$mailbox" ]; then
  echo "generating $mailbox ..."
  "$build/bench_stores_gen_mailbox" "$mailbox" "$size_mb"
fi
out=$data/export-out
get() { awk -v k="$1" '$1 == k { print $2 }'; }

seconds() { # runs a command, prints its wall time
  local s e
  s=$(date +%s.%N); "$@" > /dev/null; e=$(date +%s.%N)
  awk -v s="$s" -v e="$e" 'BEGIN { printf "%.3f", e - s }'
}
min() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }

bench_file() {
  local file=$1 bytes cp_best="" cpr_best="" mbox_best="" eml_best="" out_mbox out_eml t
  bytes=$(stat -c %s "$file")
  cat "$file" > /dev/null # into the page cache
  for _ in 1 2 3; do
    rm -rf "$out"; mkdir -p "$out"
    t=$(seconds cp "$file" "$out/copy"); sync; cp_best=$(min "$t" "$cp_best")
    rm -rf "$out"; mkdir -p "$out"
    out_mbox=$("$build/bench_export" "$file" mbox "$out/all.mbox"); sync
    mbox_best=$(min "$(echo "$out_mbox" | get export_s)" "$mbox_best")
    rm -rf "$out"; mkdir -p "$out"
    out_eml=$("$build/bench_export" "$file" eml "$out/eml"); sync
    eml_best=$(min "$(echo "$out_eml" | get export_s)" "$eml_best")
    # The same files copied as files: what a file system gives for that many names.
    t=$(seconds cp -r "$out/eml" "$out/eml-copy"); sync; cpr_best=$(min "$t" "$cpr_best")
  done
  rm -rf "$out"
  echo "$file ($bytes bytes, $(echo "$out_mbox" | get messages) messages; load before export $(echo "$out_mbox" | get load_s) s)"
  printf '  %-32s %8.3f s  %8.1f MB/s\n' "cp of the same bytes" "$cp_best" "$(awk -v b="$bytes" -v t="$cp_best" 'BEGIN { print b / 1e6 / t }')"
  printf '  %-32s %8.3f s  %8.1f MB/s  (%.2fx cp)\n' "export to one mailbox file" "$mbox_best" \
    "$(awk -v b="$bytes" -v t="$mbox_best" 'BEGIN { print b / 1e6 / t }')" "$(awk -v c="$cp_best" -v t="$mbox_best" 'BEGIN { print c / t }')"
  printf '  %-32s %8.3f s  %8.1f MB/s  (%.2fx cp)\n' "export to .eml files" "$eml_best" \
    "$(awk -v b="$bytes" -v t="$eml_best" 'BEGIN { print b / 1e6 / t }')" "$(awk -v c="$cp_best" -v t="$eml_best" 'BEGIN { print c / t }')"
  printf '  %-32s %8.3f s  %8.1f MB/s  (export: %.2fx cp -r)\n' "cp -r of the exported .eml files" "$cpr_best" \
    "$(awk -v b="$bytes" -v t="$cpr_best" 'BEGIN { print b / 1e6 / t }')" "$(awk -v c="$cpr_best" -v t="$eml_best" 'BEGIN { print c / t }')"
}

bench_file "$mailbox"
if [ -f "$shared/mbox/usrp-users.mbox" ]; then
  repeated=$data/usrp-users-x25.mbox
  if [ ! -f "$repeated" ]; then
    for _ in $(seq 25); do cat "$shared/mbox/usrp-users.mbox"; echo; done > "$repeated"
  fi
  bench_file "$repeated"
else
  echo "usrp-users.mbox not found under $shared: skipped"
fi
