#!/usr/bin/env bash
# The build's barcode reader finds every code drawn on the sample pages, of its kind, with its
# text, in reading order, and nothing on the page without.
# Usage: check_drawn.sh BARCODE_PAGES WORK_DIR
set -euo pipefail
program=$1 work=$2
rm -rf "$work"
"$program" draw "$work/codes"
"$program" read "$work/codes" >"$work/table.txt"
# File, kind and text: the box is left out.
cut -f1,2,4 "$work/table.txt" | diff -u "$work/codes/drawn.txt" -
