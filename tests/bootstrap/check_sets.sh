#!/usr/bin/env bash
# The sets scripts/bootstrap installs: the demo's holds nothing of the Windows build (no Wine,
# no cross compiler, no i386 architecture, no source entries), and the sets `make test` asks
# for hold what both builds need.
set -euo pipefail
bootstrap=$1
failures=0
check() {
  if ! eval "$2"; then
    echo "FAILED: $1"
    failures=$((failures + 1))
  fi
}

demo=$("$bootstrap" --list demo)
check "the demo installs no Windows build" \
  '! grep -q -E "wine|mingw|xvfb|:i386|^architecture|^source" <<<"$demo"'
check "the demo builds kovscan" 'grep -qx "package libcli11-dev" <<<"$demo"'
check "the demo's sample text finds its font" 'grep -qx "package fonts-dejavu-core" <<<"$demo"'
check "the demo's turned pages are found" 'grep -qx "package tesseract-ocr-osd" <<<"$demo"'
check "no set named is the demo's" '[[ "$("$bootstrap" --list)" == "$demo" ]]'

# Both editions are built on every machine; 32-bit Wine and the 32-bit TWAIN source's SANE
# come only where 32-bit programs run.
everything=$(KOV_RUNS_32_BIT=yes "$bootstrap" --list tests windows twain clang)
for needed in libgtest-dev sane-utils python3-pytest python3-pil g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64 \
  wine32:i386 libsane-dev:i386 clang; do
  check "make test installs $needed" 'grep -qx "package $needed" <<<"$everything"'
done
check "the Windows build adds the i386 architecture" \
  'grep -qx "architecture i386" <<<"$everything"'
check "the TWAIN source alone adds the i386 architecture" \
  'grep -qx "architecture i386" <<<"$(KOV_RUNS_32_BIT=yes "$bootstrap" --list twain)"'
only64=$(KOV_RUNS_32_BIT=no "$bootstrap" --list tests windows twain clang)
for needed in g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64 libsane-dev; do
  check "without 32-bit programs make test still installs $needed" \
    'grep -qx "package $needed" <<<"$only64"'
done
check "without 32-bit programs nothing of i386 is installed" \
  '! grep -q -E ":i386|^architecture|gcc-multilib" <<<"$only64"'
check "an unknown set is refused" '! "$bootstrap" --list nosuch 2>/dev/null'
exit $((failures > 0))
