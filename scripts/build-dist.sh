#!/usr/bin/env bash
# Builds what installs and packages (the shared libraries; no tests, no
# updater: each vendor builds their own with quorvel_add_updater) in Release
# for /usr, with Debian's hardening flags:
#   scripts/build-dist.sh DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# Without -g: the packages carry no debugging data.
export CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS | sed 's/\(^\| \)-g\( \|$\)/ /') $(dpkg-buildflags --get CPPFLAGS)"
export LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
bash "$root/scripts/build.sh" "$1" -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr \
  -DQUORVEL_BUILD_UPDATER=OFF -DQUORVEL_SHARED=ON
