#!/usr/bin/env bash
# Cross-compiles the Windows program with mingw-w64 into build-win/ and packs
# build-win/halcyon-windows.zip: halcyon.exe and data/, to unzip into the
# game's folder. With --tests it builds the Windows test programs too.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-win
jobs=${JOBS:-$(nproc)}

[ -f "$build/build.ninja" ] ||
  cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=(halcyon)
if [ "${1:-}" = --tests ]; then
  targets+=($(sed -n 's/^build \(test_[a-z0-9_]*\)\.exe:.*/\1/p' "$build/build.ninja"))
fi
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

package=$PWD/$build/halcyon-windows.zip
stage=$build/package
rm -rf "$stage" "$package"
mkdir -p "$stage"
cp "$build/halcyon.exe" "$stage/"
cp -r data "$stage/"
(cd "$stage" && zip -qr "$package" halcyon.exe data)
echo "windows: $package"
