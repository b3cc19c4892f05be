#!/usr/bin/env bash
# Fails unless the import library a host links with names every export of the .def as that
# edition's compiler refers to it: the 32-bit header's stdcall calls as _NAME@BYTES, x64's
# plainly. A wrong name links no host, or links one that calls with the wrong convention.
# Usage: check_import_names.sh NM IMPORT_LIBRARY DEF_FILE POINTER_SIZE
set -euo pipefail
nm=$1 library=$2 def=$3 pointer=$4
if ((pointer == 4)); then
  # "SCANINIT = SCANINIT@0 @1": the decorated name after the equals sign, with C's underscore.
  expected=$(sed -n -E 's/^\s*[A-Za-z0-9_]+ = ([A-Za-z0-9_]+@[0-9]+) @[0-9]+$/__imp__\1/p' "$def")
else
  expected=$(sed -n -E 's/^\s*([A-Za-z0-9_]+) @[0-9]+$/__imp_\1/p' "$def")
fi
actual=$("$nm" "$library" | awk '$2 == "I" && $3 ~ /^__imp_/ { print $3 }')
if ! diff -u <(LC_ALL=C sort <<<"$expected") <(LC_ALL=C sort -u <<<"$actual"); then
  echo "the import library's names differ from the .def's" >&2
  exit 1
fi
echo "imports: $(wc -l <<<"$expected")"
