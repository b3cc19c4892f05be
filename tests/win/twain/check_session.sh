#!/usr/bin/env bash
# A session through KOVZAFT2.dll and the TWAIN test source that goes wrong, then one that goes
# right. Usage: check_session.sh SOURCE_DIR PREFIX_DIR BIN_DIR WORK_DIR CASE EXPECTED
#   kill         page 2 is killed while it comes; the pages after it come, the feeder ends empty
#   SANE_STATUS  every page read fails with that status; the next session then scans
# EXPECTED is the host's line that tells what went wrong (its code and the library's text).
set -euo pipefail
source_dir=$1 prefix=$2 bin=$3 work=$4 case=$5 expected=$6
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)

rm -rf "$work"
mkdir -p "$work/dll" "$work/ours"
cp "$bin/KOVZAFT2.dll" "$bin/kovzaft2_twain_scan.exe" "$work/dll/"
printf '[ZAFT]\nScanner=TWSCAN\n[TWSCAN]\nType=TwainScanner\nSource=test:0\n' >"$work/dll/zaft.ini"
scan() {
  "$here/prepare-prefix" "$source_dir" "$prefix" \
    "$root/scripts/wine-run" --display "$prefix" "$work/dll/kovzaft2_twain_scan.exe" \
    "Z:$work/ours" 8 50 "$@" | tr -d '\r'
}

if [[ $case == kill ]]; then
  # Pages that take a while, so the kill 5 ms into page 2 comes while it does.
  KOV_SANE_READ_DELAY=20000 scan --kill-in-page 2 | tee "$work/first.log"
  grep -q '^page 3 ' "$work/first.log" || { echo "no page came after the kill"; exit 1; }
else
  KOV_SANE_READ_STATUS=$case scan | tee "$work/first.log"
fi
grep -qxF "$expected" "$work/first.log" || { echo "no line: $expected"; exit 1; }
# The next session, with a working scanner, scans its feeder to the end.
scan | tee "$work/next.log" | tail -1
grep -q '^page 1 ' "$work/next.log" && grep -q '^end 0x6116 ' "$work/next.log" ||
  { echo "the next session did not scan"; exit 1; }
