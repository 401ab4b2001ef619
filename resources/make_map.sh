#!/usr/bin/env bash
# Regenerates BMP_MAP_SMALL.png, the 500 x 500 alert map of Japan, from the
# GSHHG shorelines. Needed only to change the map, not to build:
#   apt-get install --no-install-recommends gmt gmt-gshhg-high gmt-dcw ghostscript
# Usage: resources/make_map.sh [OUTPUT.png]
#
# The map must match the program's projection pixel for pixel: longitude linear
# from 122.283 E (x = 0) to 150.2 E (x = 500), latitude spherical Mercator,
# asinh(tan(lat)), from 46.471 N (y = 5) to 22.6 N (y = 505). The program rounds
# a point to the nearest pixel, so point (x, y) must fall on the centre of pixel
# (x, y): the rendered area reaches half a pixel past the left edge and 5.5 pixels
# past the north edge, and ends half a pixel before the east edge and 5.5 pixels
# before the south one.
set -euo pipefail

out=${1:-"$(dirname "$0")/BMP_MAP_SMALL.png"}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

SEA=104/152/204
LAND=236/232/212
COAST=0.35p,70/70/70
BORDER=0.6p,120/120/120,-

read -r west east south north < <(awk 'BEGIN {
    pi = atan2(0, -1); w = 122.283; e = 150.2; s = 22.6; n = 46.471; side = 500
    ms = log(sin(s*pi/180)/cos(s*pi/180) + 1/cos(s*pi/180))   # asinh(tan(lat))
    mn = log(sin(n*pi/180)/cos(n*pi/180) + 1/cos(n*pi/180))
    px = (e - w) / side; pm = (mn - ms) / side
    mt = mn + 5.5 * pm; mb = mn - 494.5 * pm
    # Inverse of asinh(tan(lat)): lat = atan(sinh(m)).
    top = atan2((exp(mt) - exp(-mt)) / 2, 1) * 180 / pi
    bot = atan2((exp(mb) - exp(-mb)) / 2, 1) * 180 / pi
    printf "%.9f %.9f %.9f %.9f\n", w - 0.5 * px, w + 499.5 * px, bot, top
}')

R=$west/$east/$south/$north
J=M500p
H=$(gmt mapproject -R"$R" -J$J -W --PROJ_LENGTH_UNIT=p --PROJ_ELLIPSOID=Sphere | awk '{print $2}')
O="--PROJ_ELLIPSOID=Sphere --PS_MEDIA=500x$H --PS_PAGE_ORIENTATION=portrait --MAP_FRAME_PEN=0p"

gmt pscoast -R"$R" -J$J -Dh -A10 -G$LAND -S$SEA -W1/$COAST -N1/$BORDER -Xa0 -Ya0 $O -K > map.ps
gmt psxy -R"$R" -J$J -T -Xa0 -Ya0 $O -O >> map.ps
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -dTextAlphaBits=4 -dGraphicsAlphaBits=4 \
    -r72x"$(echo "72*500/$H" | bc -l)" -dFIXEDMEDIA -g500x500 -sOutputFile=map.png map.ps

# 24-bit RGB without any ancillary chunks, so a rerun gives the same bytes.
/usr/bin/python3 - map.png "$out" <<'EOF'
import sys
from PIL import Image
Image.open(sys.argv[1]).convert("RGB").save(sys.argv[2], optimize=True)
EOF
echo "make_map: wrote $out"
