#!/usr/bin/env bash
# Installs what is missing, builds the updater, makes a sample update package,
# serves it from a local HTTP server on the updater's built-in address
# (127.0.0.1:8642) and runs the updater's whole job in a product folder of its
# own under demo/. With a display the updater opens for you to use; without one
# it runs under Xvfb and presses Start, OK and Close as a person would, saving
# a screenshot of each state.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh

host=127.0.0.1 port=8642
demo="$root/demo"
bash scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF -- DirevidUreziv
rm -rf "$demo"
cmake --install build-release --prefix "$demo/install" >/dev/null

# The product as installed: the updater in its folder with an old product file.
product="$demo/Quorvel"
mkdir -p "$product/docs"
cp "$demo/install/bin/DirevidUreziv" "$product/"
echo "Quorvel 1.0" > "$product/version.txt"

# The update package: new product files, made into a cabinet by gcab.
pkg="$demo/package"
mkdir -p "$pkg/docs" "$demo/server/downloads"
echo "Quorvel 2.0" > "$pkg/version.txt"
printf 'What is new in Quorvel 2.0\n' > "$pkg/docs/changes.txt"
head -c 3000000 /dev/urandom > "$pkg/quorvel.dat"
(cd "$pkg" && gcab -c -z "$demo/server/downloads/DirevidUreziv.cab" version.txt docs/changes.txt quorvel.dat)

python3 -m http.server "$port" --bind "$host" --directory "$demo/server" >"$demo/server.log" 2>&1 &
server=$!
cleanup() { kill "$server" 2>/dev/null || true; [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true; }
trap cleanup EXIT
for _ in $(seq 50); do curl -sf -o /dev/null "http://$host:$port/downloads/DirevidUreziv.cab" && break; sleep 0.1; done

report() {
  echo
  echo "Update server: http://$host:$port/downloads/DirevidUreziv.cab (log: $demo/server.log)"
  echo "Product folder: $product"
  echo "  version.txt now reads: $(cat "$product/version.txt")"
  for f in DirevidUreziv.cab docs/changes.txt quorvel.dat; do
    if [ -e "$product/$f" ]; then echo "  $f: present"; else echo "  $f: missing"; fi
  done
  [ -e "$product/DirevidUreziv_bu.cab" ] && echo "  DirevidUreziv_bu.cab: left behind" || echo "  backup package: removed"
  if cmp -s "$product/quorvel.dat" "$pkg/quorvel.dat"; then echo "Result: the update was downloaded and installed."; else echo "Result: the update was NOT installed."; fi
}

if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
  echo "Opening the updater; press Start, then close the window to install."
  "$product/DirevidUreziv"
  report
  exit 0
fi

# No display: run under Xvfb and act as the user.
shots="$demo/screenshots"
mkdir -p "$shots"
export DISPLAY=:97
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

"$product/DirevidUreziv" &
app=$!
wid=""
for _ in $(seq 100); do wid=$(xdotool search --name "^Quorvel Software Update$" 2>/dev/null | head -n1) && [ -n "$wid" ] && break; sleep 0.1; done
[ -n "$wid" ] || { echo "The updater window did not appear."; exit 1; }
sleep 0.5
shot() { import -window root "$shots/$1.png"; echo "screenshot: $shots/$1.png"; }
click() { xdotool mousemove --window "$wid" "$1" "$2" click 1; }

shot 1-ready
click $((189 + 40)) $((277 + 11))          # Start
box=""
for _ in $(seq 300); do box=$(xdotool search --name "^Information$" 2>/dev/null | head -n1) && [ -n "$box" ] && break; sleep 0.1; done
[ -n "$box" ] || { shot 2-no-message; echo "No result message appeared."; exit 1; }
sleep 0.3
shot 2-result-message
xdotool key --window "$box" Return       # OK
sleep 0.5
shot 3-finished
click $((248 + 40)) $((277 + 11))          # Close: installs the package
for _ in $(seq 300); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && { echo "The updater did not end after Close."; kill "$app"; exit 1; }
wait "$app" || true
echo "The updater showed its result message and ended after Close."
report
