#!/usr/bin/env bash
# Fails unless the DLL carries dialog templates 259 and 260 exactly as expected: kind,
# style, caption, font, and every control with its text, id, style and position.
set -euo pipefail
dll=$1
expected=$2
windres=${WINDRES:-windres}

actual=$("$windres" -J coff -i "$dll" -O rc |
  sed -E 's/ (MOVEABLE|PURE|DISCARDABLE)//g' |
  grep -E '^([0-9]+ DIALOG|STYLE|CAPTION|FONT|  CONTROL)')
if ! diff -u "$expected" <(printf '%s\n' "$actual"); then
  echo "dialog templates differ from $expected" >&2
  exit 1
fi
