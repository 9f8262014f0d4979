#!/usr/bin/env bash
# A launcher started from a folder that holds DLLs named like system DLLs
# (shell32.dll, comctl32.dll) never loads them: neither from beside the
# executable nor from the configured working directory. Wine prefers its own
# system DLLs to any file of the same name, so they are set to native first
# here: a launcher that loads one by name alone would then take the planted
# file, which leaves NAME.loaded beside itself.
# Arguments: the launcher_watch and e2e_tests executables.
set -u
watch=$1
build=$(cd "$(dirname "$1")" && pwd)
marker="$(dirname "$2")/libplanted_marker.dll"
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }
standin=$(winpath "$build/standin/jre/bin/client/jvm.dll")
status=0
for where in beside work; do
    dir=$(mktemp -d)
    planted=$dir
    settings=()
    if [ $where = work ]; then
        planted=$dir/work
        mkdir "$planted"
        settings=(--set "1011=$(winpath "$planted")" --set 1015=1)
    fi
    cp "$marker" "$planted/shell32.dll"
    cp "$marker" "$planted/comctl32.dll"
    WINEDLLOVERRIDES="$WINEDLLOVERRIDES;shell32,comctl32=n,b" wine "$watch" "$(winpath "$dir/app.exe")" \
        --set "1002=$standin" "${settings[@]}" -- planted >"$dir/seen.txt" 2>&1
    if ! grep -q '^exit code: 0' "$dir/seen.txt"; then
        echo "FAIL ($where): expected exit code 0:"; cat "$dir/seen.txt"; status=1
    fi
    if ! grep -q 'argument 0: planted' "$dir/seen.txt"; then
        echo "FAIL ($where): the application did not run:"; cat "$dir/seen.txt"; status=1
    fi
    loaded=$(cd "$planted" && ls ./*.loaded 2>/dev/null)
    if [ -n "$loaded" ]; then
        echo "FAIL ($where): the planted DLLs were loaded: $loaded"; status=1
    fi
    rm -rf "$dir"
done
[ $status -eq 0 ] && echo "PASS"
exit $status
