#!/usr/bin/env bash
# Separator sheets through KOVZAFT2.dll and the TWAIN source, SANE's pnm backend behind it: the
# Linux build's Patch II sheet, Patch T sheet (turned) and a text page, each scanned in a
# session of its own at one bit, in Group 4, with every kind of sheet looked for. The pages'
# levels must be 2, 4 and 1, at the resolution the sheet was drawn at.
# The source cannot describe the backend's resolutions (a list, not a range), so the library
# takes none; the backend stays at its 75 dpi and the sheets, drawn at 300, are scanned at a
# quarter of their size.
# Usage: check_patches.sh LINUX_BUILD_DIR SOURCE_DIR PREFIX_DIR BIN_DIR WORK_DIR
set -euo pipefail
linux=$1 source_dir=$2 prefix=$3 bin=$4 work=$5
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
kovscan=$linux/tools/kovscan/kovscan
if [[ ! -x $kovscan ]]; then
  echo "check_patches: $kovscan is missing; the Linux build comes first (make build)" >&2
  exit 1
fi
# The Linux build may run under AddressSanitizer, whose leak check needs this for threads
# that end while the library is loaded.
export LSAN_OPTIONS=use_tls=0

rm -rf "$work"
mkdir -p "$work/dll" "$work/ours"
cp "$bin/KOVZAFT2.dll" "$bin/kovzaft2_twain_scan.exe" "$work/dll/"
printf '[ZAFT]\nScanner=TWSCAN\n[TWSCAN]\nType=TwainScanner\nSource=pnm:0\n' >"$work/dll/zaft.ini"
"$kovscan" samples "$work/samples" --pages 8 >/dev/null

# A PBM at a quarter of its resolution: the dot at (4x + 1, 4y + 1) for each (x, y).
quarter() {
  local header width height
  header=$(head -c 32 "$1" | head -n 2)
  read -r width height <<<"$(sed -n 2p <<<"$header")"
  tail -c +$((${#header} + 2)) "$1" | od -An -v -tu1 -w$(((width + 7) / 8)) |
    LC_ALL=C awk -v width="$width" -v height="$height" '
      BEGIN { w = int(width / 4); printf "P4\n%d %d\n", w, int(height / 4) }
      NR % 4 == 2 {
        for (i = 0; i < w; i += 8) {
          byte = 0
          for (b = 0; b < 8; ++b) {
            x = 4 * (i + b) + 1
            byte = 2 * byte + (i + b < w ? int($(int(x / 8) + 1) / 2 ^ (7 - x % 8)) % 2 : 0)
          }
          printf "%c", byte
        }
      }'
}

# The backend's file is one for the whole machine: held while it is ours, and removed after.
exec 9>/tmp/kovzaft2-pnm.lock
flock 9
trap 'rm -f /tmp/input.ppm' EXIT
failed=0
for sheet in "00004 2 Patch II" "00008 4 Patch T" "00001 1 text"; do
  read -r number level name <<<"$sheet"
  quarter "$work/samples/pages/page-$number.pbm" >/tmp/input.ppm
  mkdir -p "$work/ours/$number"
  # The backend has its page whenever asked, as a flatbed does: one is taken.
  KOV_SANE_BACKEND=pnm "$here/prepare-prefix" "$source_dir" "$prefix" \
    "$root/scripts/wine-run" --display "$prefix" "$work/dll/kovzaft2_twain_scan.exe" \
    "Z:$work/ours/$number" 1 0 --patches --g4 --pages 1 | tr -d '\r' | tee "$work/$number.log"
  # page 1 LINES BYTES_PER_LINE BPP LEVEL DPI
  page=$(grep '^page 1 ' "$work/$number.log" || true)
  if [[ $page != "page 1 825 "*" 1 $level 75" ]]; then
    echo "FAILED: the $name sheet came as '$page'; wanted 825 lines, 1 bit, level $level, 75 dpi"
    failed=1
  fi
done
((failed == 0)) && echo "levels 2, 4 and 1 as drawn"
exit $failed
