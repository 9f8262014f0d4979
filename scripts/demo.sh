#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds the launcher and runs the demo
# application under Wine (on a virtual display), printing what the
# application writes, every box the launcher shows, and its exit code.
#
# No Windows Java runtime exists here, so the demo runs on the test suite's
# stand-in runtime (tests/standin), a jvm.dll that implements the JNI calls
# the launcher makes and a few classes, the demo orvane.demo.Hello among them.
# With a real 32-bit Java runtime installed in the Wine prefix, the shipped
# launcher itself (build/windows/orvane.exe) finds it through the registry.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
cd "$root"
cmake --preset windows >/dev/null
cmake --build --preset windows --target orvane launcher_watch standin_jvm >/dev/null
. tests/wine_env.sh
ensure_wine_prefix
mkdir -p build/demo
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }
demo_exe=$(winpath "$root/build/demo/orvane-demo.exe")
standin=$(winpath "$root/build/windows/standin/jre/bin/client/jvm.dll")
echo "Running the demo launcher (build/demo/orvane-demo.exe, orvane.demo.Hello on the stand-in runtime):"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    wineserver -p
    wine build/windows/launcher_watch.exe --warm-up
    exe=$0 jvm=$1
    shift
    wine build/windows/launcher_watch.exe "$exe" --set "1002=$jvm" -- "$@" 2>/dev/null | tr -d "\r"
    wineserver -k' "$demo_exe" "$standin" "${@:-first second}"
