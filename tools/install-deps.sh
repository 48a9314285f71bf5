#!/usr/bin/env bash
# Installs every Debian package that building, running and testing the project needs.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libsqlite3-dev sqlite3
  libicu-dev
  liblua5.4-dev lua5.4
  libexiv2-dev exiv2 libimage-exiftool-perl
  liblcms2-dev
  libplist-dev libplist-utils
  libglib2.0-dev libglib2.0-bin shared-mime-info
  libcurl4-openssl-dev
  libcups2-dev cups cups-client printer-driver-cups-pdf
  gettext
  libgtest-dev libgmock-dev googletest
  imagemagick
  clang-14 libclang-rt-14-dev
  python3 util-linux attr
  exfat-fuse exfatprogs
  scdoc dpkg-dev
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
