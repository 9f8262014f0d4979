#!/usr/bin/env bash
# Packs a launcher whose resources grow past their section (so the
# relocations after them move) and reads the result with tools other than the
# packer: objdump must accept it, its resource and relocation directories
# must match their sections, SizeOfImage must end with the last section, the
# relocations must be the template's, and the checksum must be right.
# Usage: valid_pe.sh ORVANE_PACK OBJDUMP TEMPLATE ICON
set -eu
pack=$1 objdump=$2 template=$3 icon=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c 300000 /dev/urandom >"$work/big.jar"
cp "$icon" "$work/app.ico"
cat >"$work/app.toml" <<TOML
template = "$template"
output = "app.exe"
[application]
main_class = "com.example.Main"
[embed]
jars = ["big.jar"]
[icon]
file = "app.ico"
TOML
"$pack" "$work/app.toml"
fail() { echo "FAIL: $*"; exit 1; }
"$objdump" -p "$work/app.exe" >"$work/p.txt" || fail "objdump cannot read the packed launcher"
"$objdump" -h "$work/app.exe" >"$work/h.txt"
base=$(awk '$1 == "ImageBase" {print $2}' "$work/p.txt")
section() { awk -v n="$1" '$2 == n {print $3, $4}' "$work/h.txt"; }
directory() { awk -v e="$1" '$1 == "Entry" && $2 == e {print $3, $4}' "$work/p.txt"; }
hex() { printf '%d' "0x$1"; }
for pair in "2 .rsrc" "5 .reloc"; do
    set -- $pair
    read -r size vma <<<"$(section "$2")"
    read -r rva dsize <<<"$(directory "$1")"
    [ $(( $(hex "$vma") - $(hex "$base") )) -eq $(hex "$rva") ] || fail "directory $1 at $rva, section $2 at $vma"
    [ $(hex "$size") -eq $(hex "$dsize") ] || fail "directory $1 has size $dsize, section $2 $size"
done
read -r size vma <<<"$(section .reloc)"
alignment=$(awk '$1 == "SectionAlignment" {print $2}' "$work/p.txt")
end=$(( $(hex "$vma") - $(hex "$base") + $(hex "$size") ))
end=$(( (end + $(hex "$alignment") - 1) / $(hex "$alignment") * $(hex "$alignment") ))
image=$(awk '$1 == "SizeOfImage" {print $2}' "$work/p.txt")
[ "$end" -eq "$(hex "$image")" ] || fail "SizeOfImage $image, sections end at $(printf %x $end)"
[ "$(hex "$(section .rsrc | cut -d' ' -f1)")" -gt 300000 ] || fail "the resources did not grow"
reloc_bytes() {
    local size offset
    read -r size offset <<<"$("$objdump" -h "$1" | awk '$2 == ".reloc" {print $3, $6}')"
    tail -c +$(( $(hex "$offset") + 1 )) "$1" | head -c "$(hex "$size")" | od -An -tx1
}
[ "$(reloc_bytes "$template")" = "$(reloc_bytes "$work/app.exe")" ] || fail "the relocations changed"
stored=$(awk '$1 == "CheckSum" {print $2}' "$work/p.txt")
computed=$(python3 - "$work/app.exe" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
at = struct.unpack_from('<I', data, 0x3C)[0] + 24 + 64
if len(data) % 2:
    data += b'\0'
total = 0
for i in range(0, len(data), 2):
    if at <= i < at + 4:
        continue
    total += data[i] | data[i + 1] << 8
    total = (total & 0xFFFF) + (total >> 16)
print('%08x' % (((total & 0xFFFF) + (total >> 16)) + len(open(sys.argv[1], 'rb').read())))
PY
)
[ "$stored" = "$computed" ] || fail "checksum $stored, computed $computed"
echo "valid: $("$objdump" -f "$work/app.exe" | grep -o 'file format.*'), checksum $stored"
