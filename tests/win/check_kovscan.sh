#!/usr/bin/env bash
# kovscan.exe against the Linux build's kovscan on the Linux build's sample batch, with
# separator sheets, barcodes and Group 4: the same record, the same pages and documents byte
# for byte, the same manifest but for the time taken (levels and barcode texts with it), and a
# report with a picture of every page. Every path kovscan.exe gets is a Windows one, with a
# drive letter, backslashes and a space.
# Usage: check_kovscan.sh LINUX_BUILD_DIR WIN_BIN_DIR PREFIX_DIR WORK_DIR
set -euo pipefail
linux=$1 bin=$2 prefix=$3 work=$4
root=$(cd "$(dirname "$0")/../.." && pwd)
kovscan=$linux/tools/kovscan/kovscan
if [[ ! -x $kovscan ]]; then
  echo "check_kovscan: $kovscan is missing; the Linux build comes first (make build)" >&2
  exit 1
fi
# The Linux build may run under AddressSanitizer, whose leak check needs this for threads
# that end while the library is loaded.
export LSAN_OPTIONS=use_tls=0

at="$work/with space"
rm -rf "$work"
mkdir -p "$at"
windows() { local path=$1; printf 'Z:%s' "${path//\//\\}"; }
exe() { "$root/scripts/wine-run" "$prefix" "$bin/kovscan.exe" "$@" | tr -d '\r'; }
fail() { echo "FAILED: $*"; status=1; }
status=0

options=(--patches --barcodes --compression g4)
"$kovscan" samples "$at/samples" >/dev/null
"$kovscan" --profile "$at/samples/zaft.ini" record save "$at/linux.rec" "${options[@]}" >/dev/null
"$kovscan" scan --profile "$at/samples/zaft.ini" --record "$at/linux.rec" --out "$at/linux" \
  --quiet "${options[@]}"

profile=$(windows "$at/samples/zaft.ini")
exe --profile "$profile" record save "$(windows "$at/windows.rec")" "${options[@]}" >"$at/saved.txt"
cmp "$at/linux.rec" "$at/windows.rec" || fail "the record differs from the Linux build's"
exe record show "$(windows "$at/windows.rec")" >"$at/shown.txt"
diff -u "$at/saved.txt" "$at/shown.txt" || fail "record show differs from what record save said"
"$kovscan" --profile "$at/samples/zaft.ini" info --record "$at/linux.rec" >"$at/linux-info.txt"
exe --profile "$profile" info --record "$(windows "$at/windows.rec")" >"$at/info.txt"
diff -u "$at/linux-info.txt" "$at/info.txt" || fail "info differs from the Linux build's"

exe scan --profile "$profile" --record "$(windows "$at/windows.rec")" \
  --out "$(windows "$at/windows")" "${options[@]}" >"$at/scan.txt"
tail -6 "$at/scan.txt"
for folder in pages documents; do
  diff <(cd "$at/linux/$folder" && ls) <(cd "$at/windows/$folder" && ls) ||
    fail "other $folder files than on Linux"
  for file in "$at/linux/$folder"/*; do
    cmp "$file" "$at/windows/$folder/${file##*/}" || fail "$folder/${file##*/} differs"
  done
done
# The time a batch took is the only field that may differ.
for side in linux windows; do
  jq -S 'del(.seconds)' "$at/$side/manifest.json" >"$at/$side.json" ||
    fail "the $side manifest does not parse"
done
diff -u "$at/linux.json" "$at/windows.json" || fail "the manifests differ"
pages=$(jq '.pages | length' "$at/windows/manifest.json")
[[ $pages -gt 0 && $(grep -o '<img ' "$at/windows/report.html" | wc -l) -eq $pages ]] ||
  fail "the report does not show all $pages pages"
jq -r '.pages[] | "\(.page) level \(.header.level) \(.header.barcodes | join(" "))"' \
  "$at/windows/manifest.json"
# This build has no PDF, OCR or image library: what needs one is refused before anything is
# scanned.
refused() {
  local name=$1 text=$2 refusal=0
  shift 2
  exe scan --profile "$profile" "$@" --out "$(windows "$at/$name")" >"$at/$name.txt" 2>&1 ||
    refusal=$?
  [[ $refusal -eq 3 && ! -e $at/$name ]] && grep -q "$text" "$at/$name.txt" ||
    fail "$* was not refused (exit $refusal): $(cat "$at/$name.txt")"
}
refused pdf 'writes no PDF documents' --format pdf
refused ocr 'has no OCR' --ocr eng
refused deskew 'does not straighten pages' --deskew
refused rotate 'does not find how pages are turned' --rotate auto
exit $status
