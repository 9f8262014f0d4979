#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds the launcher and runs the demo
# application under Wine (on a virtual display), printing what the
# application writes, every box the launcher shows, and its exit code.
#
# It runs the 32-bit launcher where this machine can run 32-bit programs,
# and the 64-bit launcher otherwise, and says which.
#
# No Windows Java runtime exists here, so the demo runs on the test suite's
# stand-in runtime (tests/standin) of the same architecture, a jvm.dll that
# implements the JNI calls the launcher makes and a few classes, the demo
# orvane.demo.Hello among them. With a real Java runtime installed in the Wine
# prefix, the shipped launcher itself (build/windows/orvane.exe or
# build/windows64/orvane.exe) finds it through the registry.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
cd "$root"
. tests/wine_env.sh
if can_run_wine32; then
    arch=32 preset=windows
else
    arch=64 preset=windows64
    echo "Using the 64-bit launcher: $wine32_problem."
fi
cmake --preset $preset >/dev/null
cmake --build --preset $preset --target orvane launcher_watch standin_jvm >/dev/null
use_wine_arch $arch
ensure_wine_prefix
mkdir -p build/demo
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }
demo_exe=$(winpath "$root/build/demo/orvane-demo$arch.exe")
standin=$(winpath "$root/build/$preset/standin/jre/bin/client/jvm.dll")
echo "Running the $arch-bit demo launcher (build/demo/orvane-demo$arch.exe, orvane.demo.Hello on the stand-in runtime):"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    wineserver -p
    watch=$0 exe=$1 jvm=$2
    shift 2
    wine "$watch" --warm-up
    wine "$watch" "$exe" --set "1002=$jvm" -- "$@" 2>/dev/null | tr -d "\r"
    wineserver -k' "build/$preset/launcher_watch.exe" "$demo_exe" "$standin" "${@:-first second}"
