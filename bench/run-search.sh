#!/usr/bin/env bash
# Search: queries of column terms only and queries with a body or source term, each against the
# field filter passes that give the same rows, on real mail (the shared list archive as it is and
# repeated to about 1 GB, made once into $build/bench-data, never committed).
set -euo pipefail
build=${1:-build}
data=${PELLORA_BENCH_DATA:-$build/bench-data}
runs=${PELLORA_BENCH_RUNS:-5}
mkdir -p "$data"
source "$(dirname "$0")/inputs.sh"
if ! have_real; then
  echo "search: $real_mbox is absent; nothing to measure"
  exit 0
fi
"$build/bench_search" "$real_mbox" "$runs" 2
make_real_mailboxes
"$build/bench_search" "$real_classic" 3 2
