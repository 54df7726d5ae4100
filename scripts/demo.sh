#!/usr/bin/env bash
# Installs what is missing, builds the updater, makes a sample update package,
# serves it from a local HTTP server on the updater's built-in address and runs
# the updater's whole job in a product folder of its own. With a display (and
# outside CI) the updater opens for you to use; without one it runs under Xvfb
# and presses Start, OK and Close as a person would, waiting each time for what
# the window shows, and saves a screenshot of each state.
#
# Environment (all optional):
#   DEMO_DIR    folder for the product, the server and the screenshots (default demo/)
#   DEMO_BUILD  build folder of the updater (default build-release)
#   DEMO_PORT   port of the update server; the updater is built for it (default 8642)
#   DEMO_SIGNED 1: a signed update; a throwaway key pair is made with
#               quorvel-sign (its private key encrypted under a passphrase),
#               the updater is built with its public key and the package is
#               served with its signed release statement, release 2
#               (default: unsigned)
# Exits 0 only when the update was downloaded and installed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh

host=127.0.0.1
port=${DEMO_PORT:-8642}
demo=${DEMO_DIR:-$root/demo}
build=${DEMO_BUILD:-$root/build-release}
rm -rf "$demo"
mkdir -p "$(dirname "$build")" "$demo"
signed=${DEMO_SIGNED:-}
# Two demos sharing a build folder take turns: each builds for its own port and
# installs its updater before the other may reconfigure the folder.
(
  flock 9
  key=""
  unsigned=ON # without DEMO_SIGNED the demo's updater checks no signature, asked for by name
  if [ -n "$signed" ]; then
    bash scripts/build.sh "$build" -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF -DQUORVEL_ALLOW_UNSIGNED=ON -- quorvel-sign
    cp "$build/tools/quorvel-sign/quorvel-sign" "$demo/quorvel-sign"
    head -c 24 /dev/urandom | base64 >"$demo/release-key.pass"
    key=$("$demo/quorvel-sign" keygen "$demo/release-key.pem" --passphrase-file "$demo/release-key.pass")
    unsigned=OFF
    echo "Throwaway signing key: $demo/release-key.pem (passphrase in $demo/release-key.pass), public key $key"
  fi
  bash scripts/build.sh "$build" -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF \
    "-DQUORVEL_UPDATE_HOST=$host:$port" -DQUORVEL_UPDATE_URL= "-DQUORVEL_UPDATE_KEY=$key" \
    "-DQUORVEL_ALLOW_UNSIGNED=$unsigned" \
    -- DirevidUreziv
  cmake --install "$build" --prefix "$demo/install" --component updater >/dev/null
) 9>"$build.lock"

# The product as installed: the updater in its folder with an old product file.
product="$demo/Quorvel"
mkdir -p "$product/docs"
cp "$demo/install/bin/DirevidUreziv" "$product/"
echo "Quorvel 1.0" >"$product/version.txt"

# The update package: new product files, made into a cabinet by gcab.
pkg="$demo/package"
mkdir -p "$pkg/docs" "$demo/server/downloads"
echo "Quorvel 2.0" >"$pkg/version.txt"
printf 'What is new in Quorvel 2.0\n' >"$pkg/docs/changes.txt"
head -c 3000000 /dev/urandom >"$pkg/quorvel.dat"
(cd "$pkg" && gcab -c -z "$demo/server/downloads/DirevidUreziv.cab" version.txt docs/changes.txt quorvel.dat)
if [ -n "$signed" ]; then
  "$demo/quorvel-sign" statement "$demo/release-key.pem" "$demo/server/downloads/DirevidUreziv.cab" \
    --product Quorvel --release 2 --passphrase-file "$demo/release-key.pass"
  "$demo/quorvel-sign" check "$demo/server/downloads/DirevidUreziv.cab" --key "$demo/release-key.pem.pub" \
    --product Quorvel
fi

# Everything started below is killed by its pid, however the script ends.
server="" xvfb="" app=""
cleanup() {
  for pid in $app $server $xvfb; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

python3 -m http.server "$port" --bind "$host" --directory "$demo/server" >"$demo/server.log" 2>&1 &
server=$!
url="http://$host:$port/downloads/DirevidUreziv.cab"
for _ in $(seq 100); do curl -sf -o /dev/null "$url" && break; sleep 0.1; done

report() {
  echo
  echo "Update server: $url (log: $demo/server.log)"
  echo "Product folder: $product"
  echo "  version.txt now reads: $(cat "$product/version.txt")"
  for f in DirevidUreziv.cab docs/changes.txt quorvel.dat; do
    if [ -e "$product/$f" ]; then echo "  $f: present"; else echo "  $f: missing"; fi
  done
  if [ -e "$product/DirevidUreziv_bu.cab" ]; then echo "  backup package: left behind"; else echo "  backup package: removed"; fi
  if [ -n "$signed" ]; then
    echo "  installed release (.DirevidUreziv.release): $(cat "$product/.DirevidUreziv.release" 2>/dev/null || echo none)"
  fi
  if cmp -s "$product/quorvel.dat" "$pkg/quorvel.dat" && [ ! -e "$product/DirevidUreziv_bu.cab" ] &&
    { [ -z "$signed" ] || [ "$(cat "$product/.DirevidUreziv.release" 2>/dev/null)" = 2 ]; }; then
    echo "Result: the update was downloaded and installed."
    return 0
  fi
  echo "Result: the update was NOT installed."
  return 1
}

if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
  echo "Opening the updater; press Start, then close the window to install."
  "$product/DirevidUreziv"
  report
  exit
fi

# No display: run under Xvfb, on a display number the server picks itself, and
# act as the user. There is no window manager, so focus is given by hand.
shots="$demo/screenshots"
mkdir -p "$shots"
displayfile="$demo/xvfb.display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 200); do [ -s "$displayfile" ] && break; sleep 0.1; done
[ -s "$displayfile" ] || { echo "Xvfb did not start."; report || true; exit 1; }
export DISPLAY=":$(head -n1 "$displayfile")"

# The X11 platform plugin, whatever the caller's environment says (the test
# command runs everything else offscreen).
QT_QPA_PLATFORM=xcb "$product/DirevidUreziv" >"$demo/updater.log" 2>&1 &
app=$!

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local limit=$(($1 * 10)); shift
  for _ in $(seq "$limit"); do "$@" && return 0; sleep 0.1; done
  return 1
}
# The largest visible top-level window with exactly this title: Qt can give
# helper windows the same name, and only the real one takes input.
find_window() {
  local best="" best_area=0 w geo
  for w in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
    geo=$(xdotool getwindowgeometry --shell "$w" 2>/dev/null) || continue
    eval "$geo"
    if ((WIDTH * HEIGHT > best_area)); then best=$w best_area=$((WIDTH * HEIGHT)); fi
  done
  [ -n "$best" ] && echo "$best"
}
# A checksum of what a part of the screen shows (x y w h in root coordinates).
area_sum() { import -window root -crop "${3}x${4}+${1}+${2}" rgb:- 2>/dev/null | md5sum; }
# What a window shows, as a checksum, to see when it has stopped changing.
window_sum() { import -window "$1" rgb:- 2>/dev/null | md5sum; }
stable() {
  local a b
  a=$(window_sum "$1"); sleep 0.3; b=$(window_sum "$1")
  [ "$a" = "$b" ]
}
shot() { import -window root "$shots/$1.png"; echo "screenshot: $shots/$1.png"; }
fail() {
  echo "$1"
  shot "x-failure" || true
  report || true
  exit 1
}

wid=""
wait_for 60 eval 'wid=$(find_window "Quorvel Software Update")' || fail "The updater window did not appear."
wait_for 30 stable "$wid" || fail "The updater window did not settle."
eval "$(xdotool getwindowgeometry --shell "$wid")"
wx=$X wy=$Y
# "Cancel" (309, 277, 81 x 22) never changes between Ready and the end of the
# download, and is hidden once the window reaches Finished.
cancel_ready=$(area_sum $((wx + 309)) $((wy + 277)) 81 22)
shot 1-ready

click() { xdotool mousemove --sync --window "$wid" "$1" "$2" click 1; }
click $((189 + 40)) $((277 + 11)) # Start

box=""
wait_for 120 eval 'box=$(find_window "Information")' || fail "No result message appeared."
wait_for 30 stable "$box" || fail "The result message did not settle."
shot 2-result-message

# OK: give the box the focus and press Return, as a keyboard user would.
pressed=""
for _ in 1 2 3; do
  xdotool windowactivate --sync "$box" 2>/dev/null || xdotool windowfocus --sync "$box" 2>/dev/null || true
  xdotool key --clearmodifiers Return
  if wait_for 5 eval '! xdotool search --onlyvisible --name "^Information$" >/dev/null 2>&1'; then pressed=1; break; fi
done
[ -n "$pressed" ] || fail "The result message did not close on OK."

finished() { [ "$(area_sum $((wx + 309)) $((wy + 277)) 81 22)" != "$cancel_ready" ] && stable "$wid"; }
wait_for 30 finished || fail "The window did not reach Finished (the result message was not a success)."
shot 3-finished

click $((248 + 40)) $((277 + 11)) # Close: installs the package
wait_for 120 eval '! kill -0 "$app" 2>/dev/null' || fail "The updater did not end after Close."
wait "$app" || true
app=""
echo "The updater showed its result message and ended after Close."
report
