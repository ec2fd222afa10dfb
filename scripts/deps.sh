#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing.
set -euo pipefail

# clang builds the fuzz targets; without it ./test.sh skips them. FreeType and the DejaVu fonts are
# for the font maker, which makes the font packs at build time. Xvfb, openbox and xdotool run the
# full-screen tests on a real X server, with and without a window manager (xprop, from x11-utils, sees
# the manager announce itself).
packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libsdl2-dev libx11-dev zlib1g-dev libpng-dev imagemagick ffmpeg clang libfreetype-dev fonts-dejavu-core
          xvfb openbox xdotool x11-utils)
# clang's fuzzer runtime, a package of its own on releases that have it.
optional=(libclang-rt-dev)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
known() { apt-cache show "$1" >/dev/null 2>&1; }

missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
optional_missing=()
for p in "${optional[@]}"; do installed "$p" || optional_missing+=("$p"); done
wanted_optional=()
for p in "${optional_missing[@]}"; do known "$p" && wanted_optional+=("$p"); done
[ ${#missing[@]} -eq 0 ] && [ ${#wanted_optional[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# Fresh package lists may know optional packages the old ones did not.
wanted_optional=()
for p in "${optional_missing[@]}"; do known "$p" && wanted_optional+=("$p"); done
echo "Installing: ${missing[*]} ${wanted_optional[*]}"
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" "${wanted_optional[@]}"
