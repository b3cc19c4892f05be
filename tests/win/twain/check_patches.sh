#!/usr/bin/env bash
# Separator sheets through KOVZAFT2.dll and the TWAIN source, SANE's pnm backend behind it: the
# Linux build's Patch II, Patch III and Patch T (turned) sheets and a text page, each scanned in
# a session of its own at one bit, 300 dpi (one of the resolutions the backend lists), in
# Group 4, with every kind of sheet looked for. The pages' levels must be 2, 3, 4 and 1.
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
"$kovscan" samples "$work/samples" --pages 10 >/dev/null

# The backend's file is one for the whole machine: held while it is ours, and removed after.
exec 9>/tmp/kovzaft2-pnm.lock
flock 9
trap 'rm -f /tmp/input.ppm' EXIT
failed=0
for sheet in "00004 2 Patch II" "00010 3 Patch III" "00008 4 Patch T" "00001 1 text"; do
  read -r number level name <<<"$sheet"
  cp "$work/samples/pages/page-$number.pbm" /tmp/input.ppm
  mkdir -p "$work/ours/$number"
  # The backend has its page whenever asked, as a flatbed does: one is taken.
  KOV_SANE_BACKEND=pnm "$here/prepare-prefix" "$source_dir" "$prefix" \
    "$root/scripts/wine-run" --display "$prefix" "$work/dll/kovzaft2_twain_scan.exe" \
    "Z:$work/ours/$number" 1 300 --patches --g4 --pages 1 | tr -d '\r' | tee "$work/$number.log"
  # page 1 LINES BYTES_PER_LINE BPP LEVEL DPI
  page=$(grep '^page 1 ' "$work/$number.log" || true)
  if [[ $page != "page 1 3300 "*" 1 $level 300" ]]; then
    echo "FAILED: the $name sheet came as '$page'; wanted 3300 lines, 1 bit, level $level, 300 dpi"
    failed=1
  fi
done
((failed == 0)) && echo "levels 2, 3, 4 and 1 as drawn"
exit $failed
