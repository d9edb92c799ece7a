# Benchmark inputs, made once into the data folder (never committed). Sourced by the run-*.sh
# scripts after they set $build and $data. Real mail comes from the shared list archive; when it
# is absent the real rows are skipped and only generated mail is measured.
# Loads read the store itself unless a measure names a row cache folder of its own.
export PELLORA_CACHE_DIR=
real_mbox=${PELLORA_SHARED_DATA:-../shared/data}/mbox/usrp-users.mbox
real_mb=${PELLORA_BENCH_REAL_MB:-1000}
real_marked=$data/real-marked-${real_mb}m
real_classic=$data/real-classic-${real_mb}m
real_dbx=$data/real-100k.dbx
real_folder=$data/real-eml-20k

have_real() { [ -f "$real_mbox" ]; }

# Best of ${runs:-3} wall-clock seconds of a command, its output thrown away (and its status: grep
# finding nothing is a result).
best_seconds() {
  local best="" s e t
  for _ in $(seq "${runs:-3}"); do
    s=$(date +%s.%N)
    "$@" > /dev/null || true
    e=$(date +%s.%N)
    t=$(awk -v s="$s" -v e="$e" 'BEGIN { print e - s }')
    if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
  done
  echo "$best"
}

# The archive repeated to at least real_mb MB: classic form as it is, Thunderbird form with a
# marker line after each separator. Each copy ends with an empty line, so copies join cleanly.
make_real_mailboxes() {
  have_real || return 0
  local copies
  copies=$(awk -v s="$(stat -c %s "$real_mbox")" -v m="$real_mb" 'BEGIN { n = int(m * 1e6 / s); if (n * s < m * 1e6) n++; print n }')
  if [ ! -f "$real_classic" ]; then
    echo "generating $real_classic ($copies copies of $real_mbox) ..."
    for _ in $(seq "$copies"); do cat "$real_mbox"; done > "$real_classic.tmp"
    mv "$real_classic.tmp" "$real_classic"
  fi
  if [ ! -f "$real_marked" ]; then
    echo "generating $real_marked ..."
    awk '{ print } /^From / { print "X-Mozilla-Status: 0001" }' "$real_mbox" > "$data/real-marked-one.tmp"
    for _ in $(seq "$copies"); do cat "$data/real-marked-one.tmp"; done > "$real_marked.tmp"
    rm -f "$data/real-marked-one.tmp"
    mv "$real_marked.tmp" "$real_marked"
  fi
}

# 20,000 .eml files, the archive's messages over and over (without their separator lines).
make_real_folder() {
  have_real || return 0
  [ -d "$real_folder" ] && return 0
  echo "generating $real_folder ..."
  rm -rf "$real_folder.tmp"
  mkdir -p "$real_folder.tmp"
  local count=0 round=0
  while [ "$count" -lt 20000 ]; do
    count=$(awk -v dir="$real_folder.tmp" -v start="$count" -v round="$round" -v limit=20000 '
      /^From / { if (out) close(out); out = ""; if (start + n >= limit) exit;
                 out = sprintf("%s/%05d-%02d.eml", dir, start + n, round); n++; next }
      out { print > out }
      END { if (out) close(out); print start + n }' "$real_mbox")
    round=$((round + 1))
  done
  mv "$real_folder.tmp" "$real_folder"
}

# 100,000 messages of the archive in a DBX; see bench_stores dbx-from for which messages.
make_real_dbx() {
  have_real || return 0
  [ -f "$real_dbx" ] && return 0
  echo "generating $real_dbx ..."
  "$build/bench_stores" dbx-from "$real_mbox" 100000 "$real_dbx.tmp" > /dev/null
  mv "$real_dbx.tmp" "$real_dbx"
}
