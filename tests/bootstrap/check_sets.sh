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
check "no set named is the demo's" '[[ "$("$bootstrap" --list)" == "$demo" ]]'

everything=$("$bootstrap" --list tests windows twain clang)
for needed in libgtest-dev sane-utils g++-mingw-w64-i686 wine32:i386 libsane-dev:i386 clang; do
  check "make test installs $needed" 'grep -qx "package $needed" <<<"$everything"'
done
check "the Windows build adds the i386 architecture" \
  'grep -qx "architecture i386" <<<"$everything"'
check "the TWAIN source alone adds the i386 architecture" \
  'grep -qx "architecture i386" <<<"$("$bootstrap" --list twain)"'
check "an unknown set is refused" '! "$bootstrap" --list nosuch 2>/dev/null'
exit $((failures > 0))
