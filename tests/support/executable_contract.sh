#!/usr/bin/env bash
# The static contract of a launcher executable, read from its file without
# running it: its architecture, the GUI subsystem, imports of Windows system
# DLLs only (no compiler runtime DLL), and the resources it reads at run time.
# Arguments: objdump of the target, the executable, the expected file format
# (pei-i386 or pei-x86-64).
set -u
objdump=$1 exe=$2 format=$3
dump=$("$objdump" -p "$exe") || { echo "FAIL: cannot read $exe"; exit 1; }
status=0
fail() { echo "FAIL: $*"; status=1; }

grep -q "file format $format\$" <<<"$dump" || fail "not $format: $(grep -m1 'file format' <<<"$dump")"
grep -qE '^Subsystem[[:space:]]+00000002[[:space:]]' <<<"$dump" || fail "not a Windows GUI executable"

system_dlls=" advapi32.dll gdi32.dll kernel32.dll msvcrt.dll shell32.dll user32.dll "
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z')
[ -n "$imports" ] || fail "no import table found"
for dll in $imports; do
    case "$system_dlls" in
    *" $dll "*) ;;
    *) fail "imports $dll, which is no Windows system DLL" ;;
    esac
done

# Resource type/name pairs, from the directory's second level: dialog 1, the
# configuration string blocks 63 to 66 (values 1001 to 1043), the message
# blocks 1 and 2, the version block, the manifest and the icon group.
resources=$(awk '/^[0-9a-f]+   Entry: ID:/ { type = $4 }
                 /^[0-9a-f]+     Entry: ID:/ { print type "/" $4 }' <<<"$dump" | tr -d ',')
for wanted in 0x000005/0x000001 0x000006/0x00003f 0x000006/0x000040 0x000006/0x000041 \
              0x000006/0x000042 0x000006/0x000001 0x000006/0x000002 0x000010/0x000001 \
              0x000018/0x000001; do
    grep -qx "$wanted" <<<"$resources" || fail "resource type/name $wanted is missing"
done
grep -q '^0x00000e/' <<<"$resources" || fail "no icon group"

[ $status -eq 0 ] && echo "PASS: $exe is $format, GUI, imports $(echo $imports)"
exit $status
