#!/usr/bin/env bash
# The Windows package as the `package` target makes it: the zip holds exactly the DLL, its
# import library, .def and header, kovscan.exe and the guide, and its DLL and kovscan.exe are
# the ones the other tests ran.
# Usage: check_package.sh CPACK BUILD_DIR WORK_DIR ZIP_NAME
set -euo pipefail
cpack=$1 build=$2 work=$3
rm -rf "$work"
mkdir -p "$work/unpacked"
"$cpack" --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log"
zip=$work/$4
status=0
listed=$(cmake -E tar tf "$zip" | LC_ALL=C sort)
expected=$(printf '%s\n' KOVZAFT2.dll README-windows.txt kovscan.exe kovzaft2.def kovzaft2.h \
  libKOVZAFT2.dll.a)
if [[ $listed != "$expected" ]]; then
  echo "FAILED: the zip holds"$'\n'"$listed"
  status=1
fi
(cd "$work/unpacked" && cmake -E tar xf "$zip")
for file in KOVZAFT2.dll kovscan.exe; do
  cmp "$build/bin/$file" "$work/unpacked/$file" || status=1
done
echo "$listed"
exit $status
