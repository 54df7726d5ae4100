#!/usr/bin/env bash
# Runs the README's command blocks marked as checked (a "<!-- checked" line
# right before a ```sh block), each as written, with bash -e, in its own
# scratch copy of the tree (no build folders, nothing of a previous run):
# what a reader types on a fresh machine must work. Slow: each block builds.
#   scripts/check-readme.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# Inside the tree (and ignored by git), so that a compiler cache based on the
# tree finds the copies' compilations the same as the tree's own.
work=$(mktemp -d "$root/build-readme.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The marked blocks, one file each.
awk -v dir="$work" '
  /^<!-- checked/ { marked = 1; next }
  marked && /^```sh$/ { n++; file = dir "/block" n ".sh"; inside = 1; marked = 0; next }
  inside && /^```$/ { inside = 0; close(file); next }
  inside { print > file; next }
  { marked = 0 }
' "$root/README.md"
blocks=("$work"/block*.sh)
[ -e "${blocks[0]}" ] || { echo "readme: FAILED: no checked block" >&2; exit 1; }

for block in "${blocks[@]}"; do
  name=$(basename "$block" .sh)
  copy="$work/$name-tree"
  mkdir "$copy"
  # The tree as committed plus what is not yet: every file git knows or would add.
  (cd "$root" && git ls-files -co --exclude-standard -z | xargs -0 cp --parents -t "$copy")
  echo "readme: $name"
  (cd "$copy" && bash -euo pipefail "$block") >"$work/$name.log" 2>&1 ||
    { tail -n 40 "$work/$name.log"; echo "readme: FAILED: $name:" >&2; cat "$block" >&2; exit 1; }
done
echo "readme: ${#blocks[@]} blocks ran as written"
