#!/usr/bin/env bash
# End-to-end check of the README's first command: runs scripts/demo.sh headless
# on a free port, with its product folder, server and screenshots in a
# temporary folder, and fails unless the update was downloaded and installed,
# the backup package is gone and the three screenshots exist.
# Whatever happens, nothing it started is left running: the demo runs in a
# process group of its own, which is killed on exit.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d /tmp/quorvel-e2e.XXXXXX)
log="$work/demo.log"

# A port nobody listens on now; the demo's updater is built for it.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

group=""
cleanup() {
  [ -n "$group" ] && kill -- "-$group" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "e2e: demo on port $port in $work"
status=0
setsid env CI=true DEMO_PORT="$port" DEMO_DIR="$work/demo" DEMO_BUILD="${E2E_BUILD:-$root/build-e2e}" \
  timeout 900 bash "$root/scripts/demo.sh" >"$log" 2>&1 &
group=$!
wait "$group" || status=$?

problems=()
((status == 0)) || problems+=("the demo exited with status $status")
grep -qx 'Result: the update was downloaded and installed.' "$log" || problems+=("the report does not say the update was installed")
grep -qx '  backup package: removed' "$log" || problems+=("the backup package was not removed")
for shot in 1-ready 2-result-message 3-finished; do
  [ -s "$work/demo/screenshots/$shot.png" ] || problems+=("screenshot $shot.png is missing")
done

if ((${#problems[@]})); then
  grep -v -E '^\[[0-9]+/[0-9]+\]' "$log" | tail -n 40
  printf 'e2e: FAILED: %s\n' "${problems[@]}"
  exit 1
fi
grep -E '^(screenshot|Result):' "$log" | sed 's/^/e2e: /'
echo "e2e: passed"
