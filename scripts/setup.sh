#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test Pelmora. Idempotent: apt is only
# asked when a package is missing, and the Japanese locale is generated only once.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 xvfb xauth x11-utils imagemagick locales
  fonts-ipafont-gothic fonts-ipafont-mincho fonts-wine
  libimage-exiftool-perl file
  wixl msitools zip dpkg-dev python3
  zlib1g-dev libzstd-dev libjpeg62-turbo-dev libpng-dev libtiff-dev libqpdf-dev pkg-config
  libz-mingw-w64-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=(); [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Source packages (pugixml for every target, the scanner's libraries for MinGW) come from a deb-src
# entry beside the system's deb entry.
sudo_cmd=(); [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
src_list=/etc/apt/sources.list.d/pelmora-deb-src
if ! ls "$src_list".* >/dev/null 2>&1 &&
   ! grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  # The same URIs, suites and components as the deb entries, as source entries.
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: *deb *$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      "${sudo_cmd[@]}" tee "$src_list.sources" >/dev/null
  else
    sed -n 's/^deb \(.*\)$/deb-src \1/p' /etc/apt/sources.list | "${sudo_cmd[@]}" tee "$src_list.list" >/dev/null
  fi
  "${sudo_cmd[@]}" apt-get update -qq
fi
# Built once per machine into a cache outside the clone (scripts/deps.sh says where and how).
repo=$(cd "$(dirname "$0")/.." && pwd)
"$repo/scripts/deps.sh"
# pugixml's source used to be unpacked into the clone; the machine's cache holds it now.
rm -rf "$repo/.cache/pugixml"
rmdir "$repo/.cache" 2>/dev/null || true

# Wine needs ja_JP.UTF-8 to pick ANSI code page 932.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  sudo_cmd=(); [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  "${sudo_cmd[@]}" locale-gen >/dev/null
fi
