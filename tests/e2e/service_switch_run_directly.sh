#!/usr/bin/env bash
# The service switch given by a user rather than the service control manager:
# the dispatcher refuses, the launcher shows nothing and ends with 0, and its
# report goes to the event log (which Wine writes as debug lines).
# Arguments: the launcher_watch executable.
set -u
watch=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
exe="Z:$(echo "$dir" | tr / '\\')\\svc.exe"

WINEDEBUG=-all,+eventlog wine "$watch" "$exe" --set 1017=OrvaneDirectSvc -- -startlauncherinservicemode \
    >"$dir/seen.txt" 2>"$dir/events.txt"
status=0
if grep -q '^window:' "$dir/seen.txt"; then
    echo "FAIL: the launcher showed a window:"; cat "$dir/seen.txt"; status=1
fi
if ! grep -q '^exit code: 0' "$dir/seen.txt"; then
    echo "FAIL: expected exit code 0:"; cat "$dir/seen.txt"; status=1
fi
if ! grep -q 'Internal error RC000003' "$dir/events.txt"; then
    echo "FAIL: no event with the dispatcher failure; event-log lines were:"
    grep eventlog "$dir/events.txt"; status=1
fi
[ $status -eq 0 ] && echo "PASS"
exit $status
