#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
set -euo pipefail
# wine32 is installed even where the kernel cannot run it: the same packages on every machine, and
# the scripts probe once whether the 32-bit loader starts.
packages=(cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev zlib1g-dev
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
          wine wine32:i386 wine64 fonts-wine fonts-wqy-microhei
          xvfb xauth x11-apps x11-utils imagemagick xdotool nsis p7zip-full ccache ghostscript)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then $sudo dpkg --add-architecture i386; fi
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
