#!/usr/bin/env bash
# Draws the alert frames shown in docs/alert-frames.md with the alertframe tool
# of a build: docs/frames/make_frames.sh [BUILD_DIR] (default build).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
tool=$(realpath "${1:-$here/../../build}")/bin/alertframe
export QT_QPA_PLATFORM=offscreen

frame() {
    local name=$1
    shift
    printf '%-14s ' "$name"
    "$tool" --out "$here/$name.png" "$@" 2>/dev/null
}

kanto=(--epicentre 35.33,139.14 --depth 23 --magnitude 7.9 --office 東京都 --warning
       --epicentre-name 神奈川県西部 --occurred 230901115832)
frame kanto-5s "${kanto[@]}" --elapsed 5
frame kanto-15s "${kanto[@]}" --elapsed 15
frame kanto-late "${kanto[@]}" --elapsed 30
frame noto --epicentre 37.50,137.27 --depth 16 --magnitude 7.6 --office 石川県 --warning \
    --epicentre-name 石川県能登地方 --occurred 240101161010 --elapsed 8
frame tohoku --epicentre 38.10,142.86 --depth 24 --magnitude 7.9 --office 宮城県 --warning \
    --epicentre-name 三陸沖 --occurred 110311144618 --elapsed 15
okinawa=(--epicentre 27.10,127.40 --depth 20 --magnitude 6.8 --epicentre-name 沖縄本島北西沖
         --occurred 260301090000 --elapsed 8)
frame okinawa-naha "${okinawa[@]}" --office 沖縄県 --warning
frame okinawa-tokyo "${okinawa[@]}" --office 東京都
frame off-the-map --epicentre 44.20,151.80 --depth 30 --magnitude 8.1 --office 北海道 \
    --epicentre-name 千島列島 --occurred 260301090000 --elapsed 20
bungo=(--epicentre 33.15,131.95 --depth 40 --magnitude 6.4 --office 愛媛県 --epicentre-name 豊後水道
       --occurred 260301090000 --elapsed 10)
frame forecast "${bungo[@]}"
frame warning "${bungo[@]}" --warning
frame kanto-zoom1 "${kanto[@]}" --elapsed 15 --zoom 1
