#!/usr/bin/env bash
# The DLL's barcode reading (ZBar) against the Linux build's (zxing-cpp) on the same pages,
# which the Linux build draws:
#   the reader's table of the sample codes (tests/barcodes): the same codes, in the same order,
#   of the same kinds and texts, at the same places (compare_barcode_tables.awk);
#   kovscan's sample batch scanned by a host with barcode search on: the same barcode entries
#   in every page header.
# Usage: check_barcodes.sh LINUX_BUILD_DIR WIN_BIN_DIR PREFIX_DIR WORK_DIR
set -euo pipefail
linux=$1 bin=$2 prefix=$3 work=$4
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
pages=$linux/tests/barcodes/barcode_pages
host=$linux/tests/barcodes/barcode_host
kovscan=$linux/tools/kovscan/kovscan
for program in "$pages" "$host" "$kovscan"; do
  if [[ ! -x $program ]]; then
    echo "check_barcodes: $program is missing; the Linux build comes first (make build)" >&2
    exit 1
  fi
done
# The Linux build may run under AddressSanitizer, whose leak check needs this for threads
# that end while the library is loaded.
export LSAN_OPTIONS=use_tls=0

rm -rf "$work"
mkdir -p "$work"
"$pages" draw "$work/codes"
"$pages" read "$work/codes" >"$work/linux-table.txt"
"$root/scripts/wine-run" "$prefix" "$bin/barcode_pages.exe" read "Z:$work/codes" |
  tr -d '\r' >"$work/dll-table.txt"
status=0
awk -v tolerance=6 -f "$here/compare_barcode_tables.awk" "$work/linux-table.txt" \
  "$work/dll-table.txt" || status=1

# The DLL finds its profile beside it, so it and the host go into the batch's folder.
"$kovscan" samples "$work/batch" >/dev/null
ZAFT_PROFILE=$work/batch/zaft.ini "$host" >"$work/linux-headers.txt" || status=1
cp "$bin/KOVZAFT2.dll" "$bin/barcode_host.exe" "$work/batch/"
("$root/scripts/wine-run" "$prefix" "$work/batch/barcode_host.exe" || status=1) | tr -d '\r' \
  >"$work/dll-headers.txt"
diff -u --label Linux --label DLL "$work/linux-headers.txt" "$work/dll-headers.txt" || status=1
cat "$work/dll-table.txt" "$work/dll-headers.txt"
exit $status
