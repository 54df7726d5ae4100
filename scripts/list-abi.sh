#!/usr/bin/env bash
# Prints the symbols of ours a shared library defines and exports, one a
# line, sorted: names in namespace quorvel and the quorvel_* C names. The
# standard library's template instances it also exports come and go with the
# compiler and are no part of the interface.
#   scripts/list-abi.sh LIBRARY
set -euo pipefail
nm -D --defined-only --format=posix "$1" | awk '{print $1}' | grep -E '^_Z(T[VIS]|Th-?[0-9]+_|Tv-?[0-9]+_-?[0-9]+_)?NK?7quorvel|^quorvel_' | LC_ALL=C sort -u
