#!/usr/bin/env bash
# Runs the benchmarks under Wine on a virtual display and prints their
# figures: launcher start-up against a minimal executable, and the class-path
# scan of 10,000 archives.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cmake --preset windows >/dev/null
cmake --build --preset windows >/dev/null
. tests/wine_env.sh
ensure_wine_prefix
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    wineserver -p
    wine build/windows/launcher_watch.exe --warm-up
    wine build/windows/bench/startup_bench.exe "Z:$(echo "$PWD/build/windows/bench/bench_minimal.exe" | tr / "\\\\")" \
        "Z:$(echo "$0" | tr / "\\\\")" "${1:-30}"
    if [ -f build/windows/tests/win32_expansion/class_path_bench.exe ]; then
        wine build/windows/tests/win32_expansion/class_path_bench.exe
    fi
    wineserver -k' "$scratch" "$@"
