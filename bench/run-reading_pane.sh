#!/usr/bin/env bash
# Reading pane: a held arrow key through the shared list archive, the pane off (the list alone,
# the peer) and on; the longest stall of the event loop in each, and their ratio.
set -euo pipefail
build=${1:-build}
data=${PELLORA_SHARED_DATA:-../shared/data}
archive=$data/mbox/usrp-users.mbox
if [ ! -f "$archive" ]; then
  echo "reading pane: $archive is absent, skipped"
  exit 0
fi
out=$("$build/bench_reading_pane" "$archive" 1000 33 2>/dev/null)
echo "$out"
echo "$out" | awk '$1 == "pane_off_longest_stall_ms" { off = $2 } $1 == "pane_below_longest_stall_ms" { on = $2 }
  END { if (off > 0) printf "longest stall, pane below / pane off: %.2f\n", on / off }'
