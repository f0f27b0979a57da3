#!/usr/bin/env bash
# make demo: the client against the local game server in a freshly generated
# sample game folder. With a display the player plays; without one the client
# runs under a private Xvfb, is driven by xdotool (pick a character, talk,
# walk into the meadow dream, scroll) and screenshots are saved.
# The server, the client and Xvfb are stopped in every case.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tools/walk.sh"
build=$(cd "${1:-build}" && pwd)
run="$build/demo"
game="$run/game"
shots="$run/screenshots"
serverdir="$run/server"

server_pid="" client_pid="" xvfb_pid=""

stop() {
  local pid=$1
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 0
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null || true
}

cleanup() {
  stop "$client_pid"
  stop "$server_pid"
  stop "$xvfb_pid"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- the game folder ---------------------------------------------------------------
rm -rf "$run"
mkdir -p "$shots" "$serverdir"
"$build/samplegen" "$game" >/dev/null
cp -r "$root/data/." "$game/data/"

# --- the local server, on ports the system picks ------------------------------------
# It runs in a folder of its own so its logs stay apart from the client's.
(cd "$serverdir" && exec "$build/quilserver" --folder "$game" --port 0 --file-port 0 >server.out 2>&1) &
server_pid=$!
port_of() { sed -n "s/.*$1 on port \([0-9]*\).*/\1/p" "$serverdir/server.out" | head -1; }
for _ in $(seq 100); do
  [ -n "$(port_of 'listening for game clients')" ] && [ -n "$(port_of 'serving dreams of .*')" ] && break
  kill -0 "$server_pid" 2>/dev/null || { cat "$serverdir/server.out"; echo "demo: the local server did not start"; exit 1; }
  sleep 0.1
done
game_port=$(port_of 'listening for game clients')
file_port=$(port_of 'serving dreams of .*')
[ -n "$game_port" ] && [ -n "$file_port" ] || { echo "demo: the local server named no ports"; exit 1; }
echo "127.0.0.1 $game_port" >"$game/data/quil_ip.txt"
echo "127.0.0.1 $file_port" >"$game/data/quilfile_ip.txt"
echo "demo: local server on port $game_port (dreams on $file_port), game folder $game"

start_client() {
  (cd "$game" && exec "$build/halcyon" >halcyon.out 2>&1) &
  client_pid=$!
}

# --- with a display: the player plays -----------------------------------------------
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "demo: pick a character with the arrow keys and Enter; close the window to end"
  start_client
  wait "$client_pid" || true
  echo "demo: logs in $game (_error.txt, _stat.txt, _netlog.txt), server log $serverdir/server.out"
  exit 0
fi

# --- headless: a private Xvfb, driven by xdotool ------------------------------------
exec 3>"$run/display"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset >"$run/xvfb.out" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$run/display" ] && break; sleep 0.1; done
[ -s "$run/display" ] || { echo "demo: Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -1 "$run/display")"

start_client
window=$(timeout 20 xdotool search --sync --pid "$client_pid" | head -1)
[ -n "$window" ] || { echo "demo: the client window did not appear"; exit 1; }

n=0
shot() { n=$((n + 1)); sleep "${2:-0.5}"; import -window root "$shots/$(printf %02d $n)-$1.png"; }
# Keys are held for a few frames so the once-a-frame keyboard snapshot sees them.
press() { for k in "$@"; do xdotool windowfocus --sync "$window" keydown "$k" sleep 0.08 keyup "$k" sleep 0.25; done; }

sleep 1.5
shot chooser 0
press Down
shot chooser-second 0.3
press Return
shot logged-in 2
xdotool windowfocus --sync "$window" type --delay 40 "Hello, Brindlemere!"
press Return
shot talk 1
# The camera orbits the player with keypad 4 and 6; keypad 5 puts it back.
hold() { xdotool windowfocus --sync "$window" keydown "$1" sleep "$2" keyup "$1" sleep 0.2; }
hold KP_Left 0.6
shot orbit-left 1
hold KP_Right 1.2
shot orbit-right 1
press KP_Begin
shot orbit-reset 1.5
# A click on a cell looks at it; the server describes what lies there.
xdotool windowfocus --sync "$window" mousemove --window "$window" 470 170 sleep 0.1 click 1
shot look 1
press Insert Delete
# From the start cell to the meadow portal: three steps one way, five the other.
for k in Down Down Down; do step $k || echo "demo: a step ($k) stayed blocked"; done
shot walk 0.3
for k in Left Left Left Left Left; do step $k || echo "demo: a step ($k) stayed blocked"; done
shot dream 4
xdotool windowfocus --sync "$window" click --repeat 6 --delay 100 4
shot scrolled-back 0.5
xdotool windowfocus --sync "$window" click --repeat 6 --delay 100 5
shot scrolled-forward 0.5

stop "$client_pid"
client_pid=""
echo "demo: screenshots in $shots"
echo "demo: client logs in $game (_error.txt, _stat.txt, _netlog.txt); server log $serverdir/server.out"
grep -E "logged in|says|entered|dream|went back" "$serverdir/server.out" | sed 's/^/  /' || true
