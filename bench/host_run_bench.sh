#!/usr/bin/env bash
# The launcher's own cost against java, on the build machine's JVM: the time
# from the shell to the end of a hello-world main and back, orvane-host-run
# against java, RUNS runs each interleaved (30), with medians and the ratio;
# then the same with a class path of 2,000 jars in 20 directories, scanned by
# the launcher and given to java as a list. Needs the host build
# (orvane-host-run and the comparison's classes).
# Argument: the number of runs of each (30).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-30}
host_run=$root/build/host/orvane-host-run
classes=$root/build/host/tests/jvm_host/diff_classes
java=/usr/lib/jvm/java-17-openjdk-amd64/bin/java
[ -x "$host_run" ] && [ -f "$classes/orvane/diff/Program.class" ] || {
    echo "build the host preset first (cmake --build --preset host)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Milliseconds of one run of a command, its output discarded.
elapsed_ms() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# measure LABEL APP_FILE JAVA_ARGUMENTS...: interleaved runs, medians, ratio.
measure() {
    local label=$1 app=$2 i
    shift 2
    : >"$work/java.ms"
    : >"$work/orvane.ms"
    for ((i = 0; i < runs; ++i)); do
        elapsed_ms "$java" "$@" hello >>"$work/java.ms"
        elapsed_ms "$host_run" "$app" hello >>"$work/orvane.ms"
    done
    local j o
    j=$(median <"$work/java.ms")
    o=$(median <"$work/orvane.ms")
    printf '%s: java median %s ms, orvane-host-run median %s ms, ratio %.3f (%d runs each)\n' \
        "$label" "$j" "$o" "$(echo "$o / $j" | bc -l)" "$runs"
}

cat >"$work/hello.toml" <<TOML
[application]
main_class = "orvane.diff.Program"
class_path = ["$classes"]
restore_launch_directory = true
TOML
measure "hello world" "$work/hello.toml" -cp "$classes" orvane.diff.Program

# 2,000 jars in 20 directories: one small real jar, copied.
mkdir -p "$work/jars"
(cd "$classes" && "$(dirname "$java")/jar" cf "$work/one.jar" orvane/diff/Program.class)
list=""
for ((d = 0; d < 20; ++d)); do
    mkdir -p "$work/jars/dir$d"
    for ((j = 0; j < 100; ++j)); do
        cp "$work/one.jar" "$work/jars/dir$d/lib$j.jar"
    done
done
# java's list in the scan's order: each directory, then its jars by name.
scan_dirs=""
for ((d = 0; d < 20; ++d)); do scan_dirs="$scan_dirs \"$work/jars/dir$d\","; done
list=$(cd "$work/jars" && for d in $(ls | sort -f); do echo "$work/jars/$d"; ls "$d" | sort -f | sed "s|^|$work/jars/$d/|"; done | paste -sd:)
cat >"$work/jars.toml" <<TOML
[application]
main_class = "orvane.diff.Program"
class_path = [${scan_dirs%,}]
restore_launch_directory = true
TOML
measure "2,000 jars in 20 directories" "$work/jars.toml" -cp "$list" orvane.diff.Program
