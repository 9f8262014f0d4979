#!/usr/bin/env bash
# Runs one fuzz target longer than the test suite does, from its seed corpus:
#   bash scripts/fuzz.sh TARGET SECONDS     (TARGET: tokenizer, expansion, ...)
# New inputs it finds go to build/fuzz/tests/fuzz/found/TARGET; a crash
# leaves crash-* in the current directory. Add such an input to
# tests/fuzz/corpus/TARGET with its fix.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:?usage: scripts/fuzz.sh TARGET SECONDS}
seconds=${2:-60}
cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${target}_fuzz" >/dev/null
mkdir -p "build/fuzz/tests/fuzz/found/$target"
exec "build/fuzz/tests/fuzz/${target}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 "build/fuzz/tests/fuzz/found/$target" "tests/fuzz/corpus/$target"
