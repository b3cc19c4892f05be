#!/usr/bin/env bash
# The test kit does not ship: no symbol of its driver designs or its page generator in a
# shipped binary. Usage: no_kit_symbols.sh BINARY NM [NM OPTIONS...]
set -euo pipefail
binary=$1
shift
symbols=$("$@" -C "$binary")
[[ -n "$symbols" ]] || { echo "no symbols read from $binary"; exit 1; }
if grep -E 'sim::(DriverDesign|DriverView|RegisterDriver|ResetDrivers|RenderPage\(|TextPageRecipe|WritePbm)' <<<"$symbols"; then
  echo "FAILED: the test kit is in $binary"
  exit 1
fi
