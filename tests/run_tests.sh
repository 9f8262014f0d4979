#!/usr/bin/env bash
# Builds every preset and runs every tier: the host unit tests, the
# launcher's JNI code against the build machine's JVM, the fuzz targets, and
# the Win32 and end-to-end tests under Wine and Xvfb, once under 64-bit Wine
# and once under 32-bit Wine where this machine can run 32-bit programs. Ends with one line
# "N passed, N failed" over all tiers that ran.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. tests/wine_env.sh

passed=0
failed=0
log_dir="$root/build/test-logs"
mkdir -p "$log_dir"

# Adds a ctest run's counts; a tier that did not run counts as one failure.
count_ctest() {
    local name=$1 log=$2 bad total
    read -r bad total < <(sed -nE 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1 \2/p' "$log" | tail -n 1)
    if [ -z "$total" ]; then
        echo "$name: no test ran (see $log)"
        failed=$((failed + 1))
        return
    fi
    echo "$name: $((total - bad)) passed, $bad failed"
    passed=$((passed + total - bad))
    failed=$((failed + bad))
}

build() {
    local preset=$1
    { cmake --preset "$preset" && cmake --build --preset "$preset"; } >"$log_dir/build-$preset.log" 2>&1 || {
        tail -n 40 "$log_dir/build-$preset.log"
        echo "build of preset $preset failed"
        return 1
    }
}

# Builds a preset of the build machine and runs its tests.
run_tier() {
    local preset=$1 name=$2 log="$log_dir/$1.log"
    : >"$log"
    build "$preset" && ctest --preset "$preset" -j2 >"$log" 2>&1
    tail -n 3 "$log"
    count_ctest "$name" "$log"
}

# Runs the Win32 and end-to-end tier of one architecture, once its preset has
# built, inside one display and one persistent wineserver.
run_wine_tier() {
    local arch=$1 preset=$2 built=$3 log=$4 label=$5
    : >"$log"
    [ "$built" = yes ] && use_wine_arch "$arch" && ensure_wine_prefix &&
        xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
        log=$0 watch=$1 preset=$2
        wineserver -p
        # Wine starts its own services on first use: warm up first, so that
        # they never hold a test'"'"'s output pipes open.
        # The services it starts write the event log as debug lines on its
        # standard error: the service tests read them there.
        export ORVANE_WINE_EVENTS="$log.events"
        WINEDEBUG=-all,+eventlog wine "$watch" --warm-up </dev/null >"$log.warm-up" 2>"$ORVANE_WINE_EVENTS" ||
            cat "$log.warm-up"
        ctest --preset "$preset" -j2 --timeout 300 >"$log" 2>&1
        wineserver -k
        wineserver -w' "$log" "$wine_build_dir/launcher_watch.exe" "$preset"
    grep -E '\*\*\*(Failed|Timeout)|Not Run' "$log"
    tail -n 3 "$log"
    count_ctest "$label" "$log"
}

# The 32-bit launcher is built on every machine; its tier needs 32-bit Wine.
if can_run_wine32; then
    echo "Wine tiers: 32-bit and 64-bit"
    wine32=yes
else
    echo "Wine tiers: 64-bit only; the 32-bit tier did not run: $wine32_problem"
    wine32=no
fi

# Both launchers first: the host tier checks their files.
built32=no built64=no
build windows && built32=yes
build windows64 && built64=yes
run_tier host "host unit tests and the JNI code on the host's JVM"
# Every fuzz target replays its seeds, then fuzzes for a bounded time.
run_tier fuzz "fuzz targets"

# Without 32-bit Wine the 32-bit launcher is still built, and the host tier
# has checked its file.
[ $wine32 = yes ] && run_wine_tier 32 windows $built32 "$log_dir/windows.log" "Win32 and end-to-end tests, 32-bit Wine"
run_wine_tier 64 windows64 $built64 "$log_dir/windows64.log" "Win32 and end-to-end tests, 64-bit Wine"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
