#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds the launcher and starts it under
# Wine (on a virtual display), printing every box it shows and its exit code.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
cd "$root"
cmake --preset windows >/dev/null
cmake --build --preset windows --target orvane launcher_watch >/dev/null
. tests/wine_env.sh
ensure_wine_prefix
echo "Starting build/windows/orvane.exe under Wine:"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    wineserver -p
    wine build/windows/launcher_watch.exe --warm-up
    wine build/windows/launcher_watch.exe build\\windows\\orvane.exe "$@"
    wineserver -k' demo "$@"
