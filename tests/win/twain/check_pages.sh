#!/usr/bin/env bash
# Scans the TWAIN test source's feeder through KOVZAFT2.dll under Wine and SANE's test backend
# behind it, then the same device with scanimage, and compares the pages byte for byte.
# Usage: check_pages.sh SOURCE_DIR PREFIX_DIR BIN_DIR WORK_DIR BPP DPI [X Y WIDTH LENGTH]
#                       [--g4] [--native] [--dialog] [--twaindsm]
#   BPP 1, 8 or 24; the frame in dots at DPI. With --g4 the library delivers one-bit pages in
#   Group 4, which libtiff's fax2tiff decodes for the comparison. With --native the profile asks
#   for TWAIN's native transfer (whole bitmaps) instead of memory transfer. With --dialog the
#   host chooses BPP and DPI in the source's own dialog instead of setting them in its record.
#   With --twaindsm the prefix holds the manager under TWAIN 2's name too, which the library
#   must take first; without, only twain_32.dll, which it must fall back to.
set -euo pipefail
source_dir=$1 prefix=$2 bin=$3 work=$4 bpp=$5 dpi=$6
shift 6
g4=0 native=0 dialog=0
manager=twain_32
while [[ ${!#:-} == --* ]]; do
  case ${!#} in
    --g4) g4=1 ;;
    --native) native=1 ;;
    --dialog) dialog=1 ;;
    --twaindsm) manager=TWAINDSM ;;
    *) echo "check_pages: unknown option ${!#}" >&2; exit 2 ;;
  esac
  set -- "${@:1:$(($# - 1))}"
done
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)

rm -rf "$work"
mkdir -p "$work/dll" "$work/ours" "$work/theirs"
# The host and the library in a folder of their own, with the profile beside the library.
cp "$bin/KOVZAFT2.dll" "$bin/kovzaft2_twain_scan.exe" "$work/dll/"
printf '[KOVZAFT]\nDebug=1\n[ZAFT]\nScanner=TWSCAN\n[TWSCAN]\nType=TwainScanner\nSource=test:0\n' >"$work/dll/zaft.ini"
((native)) && echo 'Capability.ICAP_XFERMECH=0' >>"$work/dll/zaft.ini"

# The test backend's own trace tells each sheet it was asked to scan.
SANE_DEBUG_TEST=2 KOV_TWAIN_MANAGER=$manager "$here/prepare-prefix" "$source_dir" "$prefix" \
  "$root/scripts/wine-run" --display "$prefix" "$work/dll/kovzaft2_twain_scan.exe" \
  "Z:$work/ours" "$bpp" "$dpi" "$@" $( ((g4)) && echo --g4) $( ((dialog)) && echo --dialog) \
  2>"$work/source.log" | tr -d '\r' | tee "$work/ours.log"

case $bpp in
  1) mode=(--mode Gray --depth 1) ;;  # the test backend's one bit
  8) mode=(--mode Gray --depth 8) ;;
  24) mode=(--mode Color --depth 8) ;;
  *) echo "check_pages: no mode for $bpp bits" >&2; exit 2 ;;
esac
frame=()
if (($# == 4)); then
  mm() { awk -v dots="$1" -v dpi="$dpi" 'BEGIN { printf "%.4f", dots * 25.4 / dpi }'; }
  frame=(-l "$(mm "$1")" -t "$(mm "$2")" -x "$(mm "$3")" -y "$(mm "$4")")
fi
SANE_CONFIG_DIR=$prefix/sane scanimage -d test:0 --source 'Automatic Document Feeder' \
  "${mode[@]}" --resolution "$dpi" "${frame[@]}" --format=pnm \
  --batch="$work/theirs/page%d.pnm" 2>"$work/theirs.log" || true

failed=0
grep -q '^end 0x6116 ' "$work/ours.log" || { echo "the feeder did not end empty"; failed=1; }
[[ $(grep '^manager ' "$work/ours.log") == "manager $manager.dll" ]] ||
  { echo "the library did not load $manager.dll alone"; failed=1; }
count=$(find "$work/theirs" -name 'page*.pnm' | wc -l)
ours=$(find "$work/ours" -name 'page*.raw' | wc -l)
[[ $count -gt 0 && $count -eq $ours ]] || { echo "pages: $ours through TWAIN, $count from scanimage"; failed=1; }
# Giving up the page the source had ready at the end must not feed it another sheet.
fed=$(grep -o 'reader_task started' "$work/source.log" | wc -l)
((fed == ours)) || { echo "the source scanned $fed sheets for $ours pages"; failed=1; }
for ((page = 1; page <= count; ++page)); do
  # The pixels after the header: magic, size and (but for P4) the largest value, comments
  # between them.
  fields=4
  [[ $(head -c 2 "$work/theirs/page$page.pnm") == P4 ]] && fields=3
  lines=$(awk -v fields="$fields" '!/^#/ { seen += NF } { if (seen >= fields) { print NR; exit } }' \
    "$work/theirs/page$page.pnm")
  tail -n +$((lines + 1)) "$work/theirs/page$page.pnm" >"$work/theirs/page$page.raw"
  if ((g4)) && [[ -f $work/ours/page$page.raw ]]; then
    # Decoded to plain rows in one strip; the page's own rows only, as its header counts them.
    width=$(head -n "$lines" "$work/theirs/page$page.pnm" | grep -v '^#' | tr -s ' \n' ' ' | cut -d' ' -f2)
    rows=$(awk -v page="$page" '$1 == "page" && $2 == page { print $3 }' "$work/ours.log")
    fax2tiff -4 -M -X "$width" -o "$work/ours/page$page.fax.tif" "$work/ours/page$page.raw"
    tiffcp -c none -r 1000000 "$work/ours/page$page.fax.tif" "$work/ours/page$page.tif"
    offset=$(tiffdump "$work/ours/page$page.tif" | sed -n 's/^StripOffsets .*<\([0-9]*\)>$/\1/p')
    tail -c +$((offset + 1)) "$work/ours/page$page.tif" | head -c $(((width + 7) / 8 * rows)) \
      >"$work/ours/page$page.raw"
  fi
  if ! cmp -s "$work/theirs/page$page.raw" "$work/ours/page$page.raw"; then
    echo "page $page differs: $(head -n "$lines" "$work/theirs/page$page.pnm" | grep -v '^#' | tr '\n' ' ')," \
      "$(stat -c %s "$work/ours/page$page.raw" 2>/dev/null || echo no) bytes through TWAIN"
    failed=1
  fi
done
((failed == 0)) && echo "$count pages equal"
exit $failed
