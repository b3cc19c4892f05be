#!/usr/bin/env bash
# pip installs the Python package from a copy of python/ without any download, and what it
# installed imports, typed.
set -euo pipefail
python=$1 source=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
cp -r "$source" "$work/source"
if ! "$python" -m pip install --no-build-isolation --no-deps --no-index \
  --target "$work/installed" "$work/source" >"$work/pip.log" 2>&1; then
  cat "$work/pip.log"
  exit 1
fi
test -f "$work/installed/kovzaft2/py.typed"
cd "$work"
PYTHONPATH="$work/installed" "$python" -c \
  'import kovzaft2; assert kovzaft2.Record().size == 0; print("installed", kovzaft2.__file__)'
