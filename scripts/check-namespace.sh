#!/usr/bin/env bash
# Lists the names the given libraries define outside namespace quorvel and
# fails when there is any, so a program that includes our headers and links
# our libraries never meets a name of ours in its own global scope.
#   scripts/check-namespace.sh LIBRARY...
# Works on the mangled names of the defined, external symbols (local ones
# cannot clash). Allowed outside the namespace: what Qt generates (qt_*,
# qInitResources_*, qCleanupResources_*), C entry points named quorvel_*,
# and other libraries' names that our code instantiates or emits inline
# (std, __gnu_cxx, Qt's Q*/q* names, operators on their types alone).
set -euo pipefail
(($#)) || { echo "usage: $0 LIBRARY..." >&2; exit 2; }

# The first name of a nested name: quorvel in _ZN7quorvel3FooE; ours if it is
# not another library's.
foreign_scope='(St|Sa|Sb|Ss|Si|So|Sd|[0-9]+(std|__gnu_cxx|__cxxabiv1|Q[A-Za-z0-9_]*|q[A-Za-z0-9_]*))'
allowed="^(_ZN[KVRrO]*${foreign_scope}|_ZN[KVRrO]*7quorvel|_ZS[tabsiod]"
allowed+="|_ZT[VISTC]N?[KVRrO]*(7quorvel|${foreign_scope})|_ZT[hvc].*7quorvel|_ZGV[A-Z]*N?[KVRrO]*(7quorvel|${foreign_scope})"
allowed+="|_ZG?V?ZN?[KVRrO]*(7quorvel|${foreign_scope})"
allowed+="|_ZT[IS][^N0-9]|_Z[0-9]+(q[A-Za-z]|Q[A-Za-z])|_Z(nw|na|dl|da)|_ZTH|_ZTW"
# Operators of Qt's templates (QFlags, QDataStream, QDebug) on our types.
allowed+="|_Z[a-z][a-z]I|_Z[a-z][a-z][RKPO]*[0-9]+Q"
allowed+="|qt_|qInitResources_|qCleanupResources_|quorvel_|DW\\.ref\\.|__)"
found=$(
  for lib in "$@"; do
    nm --defined-only "$lib" 2>/dev/null | awk '$2 ~ /^[A-Zuvwi]$/ { print $3 }'
  done | sort -u | grep -v -E "$allowed" | awk '!/^_Z[a-z][a-z]/ || /7quorvel/' | c++filt || true
)
if [ -n "$found" ]; then
  echo "Names defined outside namespace quorvel:"
  echo "$found"
  exit 1
fi
echo "All names of $# libraries are in namespace quorvel."
