#!/usr/bin/env bash
# Message model: parse + bodies + decoding of every leaf part, side by side with GMime 3.
set -euo pipefail
build=${1:-build}
"$build/bench_mime"
