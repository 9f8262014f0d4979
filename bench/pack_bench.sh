#!/usr/bin/env bash
# Packing benchmark: orvane-pack (an optimised build for this machine) packs
# a launcher that embeds 200 jars of 256,000 bytes each (51.2 MB, random, so
# incompressible as real jars are), five times. Prints the times, and the
# size of the result against the inputs (jars, template and the blob's
# per-file overhead).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=build/pack-bench
cmake -S . -B $build -DCMAKE_BUILD_TYPE=Release -DORVANE_TESTS=OFF >/dev/null
cmake --build $build --target orvane-pack -j2 >/dev/null
template=build/windows/orvane.exe
[ -f $template ] || { cmake --preset windows >/dev/null; cmake --build --preset windows --target orvane >/dev/null; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/jars"
for i in $(seq -w 1 200); do head -c 256000 /dev/urandom >"$work/jars/lib$i.jar"; done
cat >"$work/app.toml" <<TOML
template = "$root/$template"
output = "app.exe"
[application]
main_class = "com.example.Main"
[embed]
jars = ["jars/*.jar"]
TOML
times=""
for run in 1 2 3 4 5; do
    rm -f "$work/app.exe"
    start=$(date +%s%N)
    $build/orvane-pack "$work/app.toml"
    end=$(date +%s%N)
    times="$times $(( (end - start) / 1000000 ))"
done
jars=$(cat "$work"/jars/*.jar | wc -c)
names=$(ls "$work/jars" | tr -d '\n' | wc -c)
template_size=$(stat -c %s $template)
result=$(stat -c %s "$work/app.exe")
echo "packing 200 jars, $jars bytes: times in ms:$times"
echo "median: $(echo $times | tr ' ' '\n' | sort -n | sed -n 3p) ms"
echo "result $result bytes = template $template_size + jars $jars + $(( result - template_size - jars )) more"
echo "  (of which the blob's own layout: $(( 4 + 200 * 13 + names + 200 )) bytes: count, per file name, zero, time, size)"
