#!/usr/bin/env bash
# Builds both presets and runs every tier: the host unit tests, the Win32
# tests under Wine, and the end-to-end tests of the real launcher under Wine
# and Xvfb. Ends with one line "N passed, N failed" over all tiers.
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
    local name=$1 log=$2
    local line
    line=$(grep -E '[0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [ -z "$line" ]; then
        echo "$name: no test ran (see $log)"
        failed=$((failed + 1))
        return
    fi
    local bad total
    bad=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
    total=$(echo "$line" | sed -E 's/.* failed out of ([0-9]+).*/\1/')
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

if build host; then
    ctest --preset host -j2 >"$log_dir/host.log" 2>&1
    tail -n 3 "$log_dir/host.log"
fi
count_ctest "host unit tests" "$log_dir/host.log"

if build windows && ensure_wine_prefix; then
    # One display and one persistent wineserver for every Wine test.
    xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
        wineserver -p
        wine "$1" --warm-up </dev/null >"$0/warm-up.log" 2>&1 || cat "$0/warm-up.log"
        ctest --preset windows -j2 --timeout 300 >"$0/windows.log" 2>&1
        wineserver -k
        wineserver -w' "$log_dir" "$root/build/windows/launcher_watch.exe"
    grep -E '\*\*\*(Failed|Timeout)|Not Run' "$log_dir/windows.log" || true
    tail -n 3 "$log_dir/windows.log"
else
    : >"$log_dir/windows.log"
fi
count_ctest "Win32 and end-to-end tests under Wine" "$log_dir/windows.log"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
