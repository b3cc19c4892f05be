#!/usr/bin/env bash
# Installs the build into a fresh prefix and builds the README's host example against the
# installed package both ways a host developer would (pkg-config, and CMake's find_package),
# then runs each on a virtual scanner, compiled with the build's C compiler and sanitizer.
# Usage: check_install.sh BUILD_DIR HOST_C PROFILE CC FLAGS
set -euo pipefail
build=$1 host=$2 profile=$3 cc=$4 flags=${5:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null

export PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig"
# shellcheck disable=SC2046,SC2086
"$cc" $flags -o "$work/host-pkgconfig" "$host" $(pkg-config --cflags --libs kovzaft2)

mkdir -p "$work/project"
cp "$host" "$work/project/host.c"
cat > "$work/project/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(host C)
find_package(KOVZAFT2 REQUIRED)
add_executable(host host.c)
target_link_libraries(host KOVZAFT2::KOVZAFT2)
CMAKE
cmake -S "$work/project" -B "$work/project/build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" \
  -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
cmake --build "$work/project/build" >/dev/null

for program in "$work/host-pkgconfig" "$work/project/build/host"; do
  ZAFT_PROFILE=$profile "$program"
done
test -x "$work/prefix/bin/kovscan"
