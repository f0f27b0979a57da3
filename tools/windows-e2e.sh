#!/usr/bin/env bash
# The Windows client end to end: the package unzipped into a fresh sample game
# folder, halcyon.exe under Wine on a private Xvfb against the Linux local game
# server and file server. It logs in, talks, walks into the meadow dream (a
# download), and quits with Alt+F4 as a player would; every step is checked.
# Screenshots go beside the Linux demo's, as build/demo/screenshots/windows-*.png.
# Usage: windows-e2e.sh [linux-build-dir]   (needs its samplegen and quilserver)
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/wine-env.sh
source tools/walk.sh
build=$(cd "${1:-build}" && pwd)
run=$PWD/build-win/e2e
game=$run/game
shots=$build/demo/screenshots
server_pid="" client_pid="" xvfb_pid=""

stop() {
  local pid=$1
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 0
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null || true
}
cleanup() { stop "$client_pid"; stop "$server_pid"; stop "$xvfb_pid"; }
trap cleanup EXIT
fail() {
  echo "windows-e2e: $*"
  for f in "$game/halcyon.out" "$game/_error.txt" "$run/server.out"; do [ -f "$f" ] && { echo "--- $f"; tail -20 "$f"; }; done
  exit 1
}

# --- a sample game folder with the package unzipped into it --------------------------
rm -rf "$run"
mkdir -p "$run" "$shots"
rm -f "$shots"/windows-*.png
"$build/samplegen" "$game" >/dev/null
(cd "$game" && unzip -qo "$OLDPWD/build-win/halcyon-windows.zip")
wine_prefix

# --- the Linux local server ----------------------------------------------------------
(cd "$run" && exec "$build/quilserver" --folder "$game" --port 0 --file-port 0 >server.out 2>&1) &
server_pid=$!
port_of() { sed -n "s/.*$1 on port \([0-9]*\).*/\1/p" "$run/server.out" 2>/dev/null | head -1; }
for _ in $(seq 100); do
  [ -n "$(port_of 'listening for game clients')" ] && [ -n "$(port_of 'serving dreams of .*')" ] && break
  kill -0 "$server_pid" 2>/dev/null || fail "the local server did not start"
  sleep 0.1
done
echo "127.0.0.1 $(port_of 'listening for game clients')" >"$game/data/quil_ip.txt"
echo "127.0.0.1 $(port_of 'serving dreams of .*')" >"$game/data/quilfile_ip.txt"

# --- the client under Wine -------------------------------------------------------------
exec 3>"$run/display"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset >"$run/xvfb.out" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$run/display" ] && break; sleep 0.1; done
[ -s "$run/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -1 "$run/display")"
(cd "$game" && exec "$WINE" halcyon.exe >halcyon.out 2>&1) &
client_pid=$!
window=$(timeout 60 xdotool search --sync --name '^Halcyon - An Alternate' | head -1) || true
[ -n "$window" ] || fail "the client window did not appear"

n=0
# The client area only: without a window manager Wine leaves no frame around it.
shot() { n=$((n + 1)); sleep "${2:-0.5}"; import -window "$window" "$shots/windows-$(printf %02d $n)-$1.png"; }
press() { for k in "$@"; do xdotool windowfocus --sync "$window" keydown "$k" sleep 0.1 keyup "$k" sleep 0.3; done; }
# The chooser's list is drawn in white: the first frame is up when bright pixels show there.
bright() {
  import -window "$window" png:- 2>/dev/null | convert - -crop 300x60+300+230 -threshold 60% -format '%[fx:mean>0]' info: 2>/dev/null
}
for _ in $(seq 60); do [ "$(bright)" = 1 ] && break; sleep 0.5; done
[ "$(bright)" = 1 ] || { import -window "$window" "$run/no-chooser.png"; fail "the chooser was not drawn"; }
wait_for() { # text seconds
  for _ in $(seq $((${2} * 5))); do grep -q "$1" "$run/server.out" && return 0; sleep 0.2; done
  fail "the server never saw: $1"
}

shot chooser 0
press Down
shot chooser-second 0.5
press Return
wait_for "logged in" 20
shot logged-in 2
# The world is drawn above the text window: most of that area is not black.
world=$(convert "$shots/windows-03-logged-in.png" -crop 800x280+0+20 -threshold 4% -format '%[fx:mean>0.3]' info:)
[ "$world" = 1 ] || fail "the world was not drawn"
xdotool windowfocus --sync "$window" type --delay 60 "Hello from Windows!"
press Return
wait_for "says: Hello from Windows!" 20
shot talk 1
for k in Down Down Down; do step $k || fail "a step ($k) stayed blocked"; done
shot walk 0.3
for k in Left Left Left Left Left; do step $k || fail "a step ($k) stayed blocked"; done
wait_for "entered" 30
for _ in $(seq 100); do ls "$game"/hlcn_tmp/* >/dev/null 2>&1 && break; sleep 0.2; done
ls "$game"/hlcn_tmp/* >/dev/null 2>&1 || fail "no dream was downloaded"
shot dream 4

# Alt+F4 closes the window: the frame rates are written once and the program ends normally.
xdotool windowfocus --sync "$window" key alt+F4
for _ in $(seq 100); do kill -0 "$client_pid" 2>/dev/null || break; sleep 0.2; done
kill -0 "$client_pid" 2>/dev/null && fail "the client did not end after Alt+F4"
code=0
wait "$client_pid" || code=$?
client_pid=""
[ "$code" -eq 0 ] || fail "the client ended with $code"
[ "$(grep -c 'average FPS for invididual scenes:' "$game/_stat.txt")" -eq 1 ] || fail "the frame rates were not written once"
grep -q "memory leaks" "$game/_error.txt" && fail "the client leaked"
echo "windows-e2e: logged in, talked, walked into a dream and quit under Wine; screenshots in $shots/windows-*.png"
