#!/usr/bin/env bash
# Fails on any missing, extra, renamed or renumbered export of the DLL, on any import from a
# DLL that is not part of Windows itself, and on a DLL of the other edition's format (PE32 for
# a pointer of 4 bytes, PE32+ for 8).
# Usage: check_exports.sh DLL EXPECTED_EXPORTS POINTER_SIZE
set -euo pipefail
dll=$1
expected=$2
pointer=$3
objdump=${OBJDUMP:-objdump}

format=$("$objdump" -f "$dll" | sed -n 's/.*file format //p')
case $pointer in
  4) wanted=pei-i386 ;;
  8) wanted=pei-x86-64 ;;
esac
if [[ $format != "${wanted:-}" ]]; then
  echo "the DLL is $format, not $wanted" >&2
  exit 1
fi
dump=$("$objdump" -p "$dll")

# The name table lists "[index] name" with index = ordinal - base.
base=$(printf '%s\n' "$dump" | sed -n 's/^Ordinal Base\s*\([0-9]*\)$/\1/p')
actual=$(printf '%s\n' "$dump" |
  sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^\s*\[ *\([0-9]*\)\] \(\S*\)$/\1 \2/p' |
  awk -v base="$base" '{ print $1 + base, $2 }' | sort -n)
if ! diff -u <(sort -n "$expected") <(printf '%s\n' "$actual"); then
  echo "export table differs from $expected" >&2
  exit 1
fi

allowed='^(KERNEL32|USER32|msvcrt|ADVAPI32|ole32|OLEAUT32|GDI32)\.dll$'
imports=$(printf '%s\n' "$dump" | sed -n 's/^\s*DLL Name: //p')
status=0
while read -r name; do
  [[ -z "$name" || "$name" =~ $allowed ]] || { echo "non-system import: $name" >&2; status=1; }
done <<< "$imports"
echo "$format; exports: $(printf '%s\n' "$actual" | wc -l); imports: $(echo $imports)"
exit $status
