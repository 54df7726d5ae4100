#!/usr/bin/env bash
# Installs the project into a temporary prefix and checks what a vendor gets:
# the two tools (each answering --version with the project's version) with
# their manual pages, and the component libraries, which the examples (a
# vendor's own updater among them) are built against (that prefix alone) and
# run.
#   DIST_BUILD  the build folder (default build-dist, shared with
#               scripts/check-packages.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${DIST_BUILD:-$root/build-dist}
work=$(mktemp -d /tmp/quorvel-install.XXXXXX)
trap 'rm -rf "$work"' EXIT

bash "$root/scripts/build-dist.sh" "$build"
cmake --install "$build" --prefix "$work/prefix" >/dev/null

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
for program in webcopy quorvel-sign; do
  got=$("$work/prefix/bin/$program" --version)
  [ "$got" = "$program (Quorvel) $version" ] || { echo "install: FAILED: $program --version says '$got'" >&2; exit 1; }
  [ -s "$work/prefix/share/man/man1/$program.1.gz" ] || { echo "install: FAILED: no manual page of $program" >&2; exit 1; }
done
echo "install: the two tools answer --version with $version and have manual pages"

bash "$root/scripts/run-examples.sh" "$work/prefix" "$work/examples"
