#!/usr/bin/env bash
# Installs every Debian package that building, running and testing the console needs.
# Idempotent: when everything is there it says nothing and changes nothing.
set -euo pipefail
packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-svg-dev qt6-qpa-plugins libgl-dev fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-format
  clang libclang-rt-14-dev
  libzip-dev libpugixml-dev libexpat1-dev libisal-dev zlib1g-dev libxlsxwriter-dev python3-openpyxl
  libreoffice-calc-nogui
  librsvg2-bin desktop-file-utils appstream dpkg-dev fakeroot lintian
  libsqlite3-dev
  libpq-dev postgresql-15
  libgsl-dev
  libexpected-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
