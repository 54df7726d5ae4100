#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the demo and the
# benchmarks need; does nothing when they are all present. Run as root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git clang-format
  qt6-base-dev qt6-image-formats-plugins libgl-dev
  libcurl4-openssl-dev libmspack-dev libsmbclient-dev libssl-dev
  libzstd-dev libgcab-dev
  libgtest-dev libgmock-dev googletest libcpp-httplib-dev
  clang libclang-rt-14-dev
  gcab cabextract zstd curl openssl python3 python3-pyftpdlib samba smbclient acl
  fonts-dejavu-core fonts-liberation
  xvfb xdotool imagemagick x11-utils
  help2man lintian ccache
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
