#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# The one place where the package list lives; `make test`, `make demo`, `make windows`
# and CI call it.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libsdl2-dev libgl-dev libgl1-mesa-dri libglx-mesa0 mesa-utils
  libfreetype-dev libfontconfig-dev fonts-liberation fonts-dejavu-core
  libstb-dev libdw-dev libmeshoptimizer-dev
  xvfb xauth xdotool x11-utils imagemagick
  # X core fonts: without them SDL's message boxes cannot be drawn.
  xfonts-base
  g++-mingw-w64-x86-64-posix googletest wine wine64 zip
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Installing the packages needs root: run this as root, or install sudo." >&2; exit 1; }
  SUDO="sudo"
fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
