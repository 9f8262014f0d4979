#!/usr/bin/env bash
# Runs the benchmarks under Wine on a virtual display and prints their
# figures, for each architecture this machine runs: launcher start-up against
# a minimal executable, the class-path scan of 10,000 archives, 50
# start/stop cycles of a service, and the capture of 50 MB of output
# through the pipe.
# Argument: the number of start-up runs (30).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. tests/wine_env.sh
archs=64
if can_run_wine32; then archs="32 64"; else echo "32-bit benchmarks skipped: $wine32_problem"; fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for arch in $archs; do
    preset=windows; [ $arch = 64 ] && preset=windows64
    cmake --preset $preset >/dev/null
    cmake --build --preset $preset >/dev/null
    use_wine_arch $arch
    ensure_wine_prefix
    echo "== $arch-bit launcher"
    xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
        dir=$0 scratch=$1 runs=$2
        wineserver -p
        wine "$dir/launcher_watch.exe" --warm-up
        wine "$dir/bench/startup_bench.exe" "Z:$(echo "$PWD/$dir/bench/bench_minimal.exe" | tr / "\\\\")" \
            "Z:$(echo "$scratch" | tr / "\\\\")" "$runs"
        wine "$dir/bench/service_soak.exe" "Z:$(echo "$scratch" | tr / "\\\\")" 50
        wine "$dir/bench/capture_bench.exe" "Z:$(echo "$scratch" | tr / "\\\\")"
        wine "$dir/bench/class_path_bench.exe"
        wineserver -k' "build/$preset" "$scratch" "${1:-30}"
done
