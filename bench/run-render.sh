#!/usr/bin/env bash
# PDF of usrp-users.mbox (843 messages): pages per second for the one-file PDF, and the cost per
# message against the .eml export of the same rows.
set -euo pipefail
build=${1:-build}
shared=${PELLORA_SHARED_DATA:-../shared/data}
mailbox=$shared/mbox/usrp-users.mbox
if [ ! -f "$mailbox" ]; then
  echo "usrp-users.mbox not found under $shared: skipped"
  exit 0
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$build/bench_render" "$mailbox" "$out"
