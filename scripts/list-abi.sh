#!/usr/bin/env bash
# Prints the symbols a shared library defines and exports, one a line,
# sorted:
#   scripts/list-abi.sh LIBRARY
set -euo pipefail
nm -D --defined-only --format=posix "$1" | awk '{print $1}' | LC_ALL=C sort -u
