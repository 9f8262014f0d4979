#!/usr/bin/env bash
# orvane-pack.exe under Wine writes the same launcher as the build machine's
# orvane-pack from the same application file (jars, icon, bitmap, version,
# manifest and values included).
# Usage: same_bytes.sh ORVANE_PACK_EXE HOST_ORVANE_PACK TEMPLATE ICON
set -u
pack_exe=$1 pack_host=$2 template=$3 icon=$4
[ -x "$pack_host" ] || { echo "FAIL: no host orvane-pack at $pack_host (build the host preset)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$template" "$work/orvane.exe"
cp "$icon" "$work/app.ico"
mkdir "$work/lib"
head -c 200000 /dev/urandom >"$work/lib/one.jar"
echo second >"$work/lib/two.jar"
printf 'BM\x3e\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x02\0\0\0\x01\0\0\0\x01\0\x18\0\0\0\0\0\x08\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\xff\xff\0\0\0\0' >"$work/splash.bmp"
cat >"$work/app.toml" <<'TOML'
template = "orvane.exe"
[runtime]
jvm_options = ["-Xmx1g", '-Dhome=%APPDATA%\App']
[application]
main_class = "com.example.Main"
[splash]
bitmap = "splash.bmp"
splash_text = "Loading\nnow"
[embed]
jars = ["lib/*.jar"]
[icon]
file = "app.ico"
[version]
file_version = "3.1"
company_name = "Example"
[manifest]
utf8_code_page = true
execution_level = "requireAdministrator"
TOML
cd "$work"
"$pack_host" app.toml -o host.exe || { echo "FAIL: host orvane-pack failed"; exit 1; }
wine "$pack_exe" app.toml -o wine.exe >wine.log 2>&1 || { echo "FAIL: orvane-pack.exe failed:"; cat wine.log; exit 1; }
cmp host.exe wine.exe || { echo "FAIL: orvane-pack.exe wrote other bytes than the host build"; exit 1; }
echo "PASS: $(stat -c %s wine.exe) bytes alike"
