#!/usr/bin/env bash
# Figures of the windowed program on a private X display with a notification
# area: start -> main window visible, start -> connection request at the EQ
# server, idle CPU with the main window shown and hidden (10 s each), peak
# resident memory. Needs a build (build/bin) and Xvfb, icewm, xdotool.
#   bench/app/windowed-figures.sh [BUILD_DIR]
set -euo pipefail
BIN=${1:-build}/bin
WORK=$(mktemp -d)
trap 'kill $APP $SIM $WM $XVFB 2>/dev/null || true; rm -rf "$WORK"' EXIT
APP= SIM= WM= XVFB=

exec 3<> "$WORK/displayfd" || true
Xvfb -displayfd 1 -screen 0 1280x900x24 -nolisten tcp > "$WORK/display" 2>/dev/null &
XVFB=$!
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$WORK/display")"
icewm >/dev/null 2>&1 &
WM=$!
sleep 1

export APPDATA=$WORK/appdata ULMAROX_INSTANCE_LOCK_DIR=$WORK
mkdir -p "$APPDATA"
"$BIN/eqsim" --port 0 --keepalive 3600 > "$WORK/sim.log" 2>&1 &
SIM=$!
for _ in $(seq 100); do grep -q 'listening on' "$WORK/sim.log" && break; sleep 0.05; done
PORT=$(sed -n 's/.*listening on [^:]*:\([0-9]*\).*/\1/p' "$WORK/sim.log" | head -n1)

ms() { date +%s%3N; }
START=$(ms)
"$BIN/ulmarox" -DebugOnLocal -EqServerPort "$PORT" 2>/dev/null &
APP=$!
until xdotool search --onlyvisible --name '緊急地震速報受信' >/dev/null 2>&1; do sleep 0.01; done
SHOWN=$(ms)
until grep -q 'connection request' "$WORK/sim.log"; do sleep 0.005; done
CONNECTED=$(ms)
echo "start -> main window visible        $((SHOWN - START)) ms   (goal < 1000 ms)"
echo "start -> connection request seen    $((CONNECTED - START)) ms"

cpu() { awk '{print $14 + $15}' "/proc/$APP/stat"; }
idle() {
    local before after
    before=$(cpu); sleep 10; after=$(cpu)
    awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.3f %%", 100 * t / hz / 10 }'
}
sleep 1
echo "idle CPU, main window shown         $(idle)   (goal < 0.5 %)"
xdotool search --onlyvisible --name '緊急地震速報受信' windowminimize >/dev/null 2>&1 || true
sleep 1
echo "idle CPU, main window hidden        $(idle)   (goal < 0.5 %)"
echo "peak resident memory                $(awk '/VmHWM/ {printf "%.1f MB", $2 / 1024}' "/proc/$APP/status")   (goal < 80 MB)"
kill -TERM $APP
wait $APP && echo "exit status after SIGTERM: 0"
