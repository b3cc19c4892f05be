#!/usr/bin/env bash
# Fails on any missing, extra, renamed or renumbered export of the DLL, and on any import
# from a DLL that is not part of Windows itself.
set -euo pipefail
dll=$1
expected=$2
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}

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
echo "exports: $(printf '%s\n' "$actual" | wc -l); imports: $(echo $imports)"
exit $status
