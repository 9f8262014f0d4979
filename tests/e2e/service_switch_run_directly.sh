#!/usr/bin/env bash
# The service switch given by a user rather than the service control manager:
# the dispatcher refuses, the launcher shows nothing and ends with 0, and its
# report goes to the event log (which Wine writes as debug lines).
# Arguments: the launcher_watch executable.
set -u
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
WINEDEBUG=-all,+eventlog wine "$1" "Z:$(echo "$dir" | tr / '\\')\\svc.exe" --set 1017=OrvaneDirectSvc -- \
    -startlauncherinservicemode >"$dir/seen.txt" 2>"$dir/events.txt"
status=0
grep -q '^window:' "$dir/seen.txt" && { echo "FAIL: the launcher showed a window"; status=1; }
grep -q '^exit code: 0' "$dir/seen.txt" || { echo "FAIL: expected exit code 0"; status=1; }
[ $status -eq 0 ] || cat "$dir/seen.txt"
grep -q 'Internal error RC000003' "$dir/events.txt" ||
    { echo "FAIL: no event with the dispatcher failure; event-log lines were:"; grep eventlog "$dir/events.txt"; status=1; }
[ $status -eq 0 ] && echo "PASS"
exit $status
