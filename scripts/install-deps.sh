#!/usr/bin/env bash
# Installs what building and testing the launcher needs on a Debian machine
# (as root): the mingw-w64 cross compiler, 32-bit Wine, Xvfb, GoogleTest,
# CMake, the JDK, ImageMagick for screenshots, clang with its libFuzzer and
# sanitizer runtimes for the fuzz targets, toml++ and CLI11 for
# orvane-pack, and the Java programs the launcher is compared with java on
# (Ant, JUnit 4, ANTLR 4, Maven).
set -eu
packages="cmake g++ make g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools wine wine32:i386 wine64 xvfb xauth googletest
          openjdk-17-jdk-headless imagemagick clang libclang-rt-14-dev libtomlplusplus-dev libcli11-dev python3
          ant junit4 antlr4 maven"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -q
DEBIAN_FRONTEND=noninteractive apt-get install -y -q $missing
