#!/usr/bin/env bash
# kovscan.exe with the TWAIN test source: `devices` lists the sources and writes a profile
# for one, and `scan` with that profile scans two pages from it.
# Usage: check_kovscan_twain.sh SOURCE_DIR PREFIX_DIR WIN_BIN_DIR WORK_DIR
set -euo pipefail
source_dir=$1 prefix=$2 bin=$3 work=$4
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

at="$work/with space"
rm -rf "$work"
mkdir -p "$at"
windows() { local path=$1; printf 'Z:%s' "${path//\//\\}"; }
exe() {
  "$here/twain/prepare-prefix" "$source_dir" "$prefix" \
    "$root/scripts/wine-run" --display "$prefix" "$bin/kovscan.exe" "$@" | tr -d '\r'
}
fail() { echo "FAILED: $*"; status=1; }
status=0

exe devices --profile "$(windows "$at/twain.ini")" --device test:1 | tee "$at/devices.txt"
for source in test:0 test:1; do
  grep -q "^$source " "$at/devices.txt" || fail "$source is not listed"
done
# Written with Windows line ends.
printf '[ZAFT]\nScanner=TWAIN\n[TWAIN]\nType=TwainScanner\nSource=test:1\n' |
  diff -u - <(tr -d '\r' <"$at/twain.ini") || fail "not the profile for test:1"

exe scan --profile "$(windows "$at/twain.ini")" --out "$(windows "$at/out")" --pages 2 \
  --dpi 50 --bits 8 --quiet
[[ $(jq '[.pages[] | select(.header.bitsPerDot == 8)] | length' "$at/out/manifest.json") == 2 ]] ||
  fail "not two 8-bit pages in the manifest"
for page in 1 2; do
  [[ -s "$at/out/pages/page-000$page.tif" ]] || fail "no page $page"
done
exit $status
