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
#
# The demo's launcher is written by orvane-pack from the application file
# examples/hello/hello.toml, as a user makes the launcher of an application.
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
# orvane-pack runs on this machine and writes the demo's launcher from its
# application file, beside the stand-in runtime the file names.
cmake --preset host >/dev/null
cmake --build --preset host --target orvane-pack >/dev/null
[ $arch = 32 ] && pack_arch=x86 || pack_arch=x64
build/host/orvane-pack examples/hello/hello.toml --architecture $pack_arch -o build/$preset/hello.exe
use_wine_arch $arch
ensure_wine_prefix
echo "Running the $arch-bit demo launcher (build/$preset/hello.exe, packed from examples/hello/hello.toml):"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    wineserver -p
    watch=$0 exe=$1
    shift
    wine "$watch" --warm-up
    wine "$watch" "$exe" -- "$@" 2>/dev/null | tr -d "\r"
    wineserver -k' "build/$preset/launcher_watch.exe" "build/$preset/hello.exe" "${@:-first second}"
