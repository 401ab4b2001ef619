#!/usr/bin/env bash
# Regenerates BMP_MAP_SMALL.png, the 500 x 500 alert map of Japan, from the
# GSHHG shorelines. Needed only to change the map, not to build:
#   apt-get install --no-install-recommends gmt gmt-gshhg-high gmt-dcw ghostscript
# Usage: resources/make_map.sh [OUTPUT.png]
#        resources/make_map.sh --tiles SCALE [DIR]
# The second form draws the same area SCALE (2, 4 or 8) times larger from the
# finer shorelines and cuts it into 500 x 500 tiles DIR/MAP_Z<SCALE>_<col>_<row>.png
# (palette PNGs, default DIR resources/alertview), the bases of the zoomed map.
#
# The map must match the program's projection pixel for pixel: longitude linear
# from 122.283 E (x = 0) to 150.2 E (x = 500), latitude spherical Mercator,
# asinh(tan(lat)), from 46.471 N (y = 5) to 22.6 N (y = 505). The program rounds
# a point to the nearest pixel, so point (x, y) must fall on the centre of pixel
# (x, y): the rendered area reaches half a pixel past the left edge and 5.5 pixels
# past the north edge, and ends half a pixel before the east edge and 5.5 pixels
# before the south one.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
scale=1
if [[ ${1:-} == --tiles ]]; then
    scale=${2:?scale}
    out=$(realpath -m "${3:-$here/alertview}")
    mkdir -p "$out"
else
    out=$(realpath -m "${1:-$here/BMP_MAP_SMALL.png}")
fi
side=$((500 * scale))
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
J=M${side}p
H=$(gmt mapproject -R"$R" -J$J -W --PROJ_LENGTH_UNIT=p --PROJ_ELLIPSOID=Sphere | awk '{print $2}')
O="--PROJ_ELLIPSOID=Sphere --PS_MEDIA=${side}x$H --PS_PAGE_ORIENTATION=portrait --MAP_FRAME_PEN=0p"

# The zoomed bases show smaller islands, from the full shorelines where installed.
res=h
area=10
if ((scale > 1)); then
    area=$((scale >= 4 ? 1 : 4))
    [[ $scale -ge 4 && -n $(gmt which -G @GSHHS_f 2>/dev/null; ls "$(gmt --show-sharedir)"/coast/binned_GSHHS_f.nc 2>/dev/null) ]] && res=f
    COAST=0.5p,70/70/70
fi
gmt pscoast -R"$R" -J$J -D$res -A$area -G$LAND -S$SEA -W1/$COAST -N1/$BORDER -Xa0 -Ya0 $O -K > map.ps
gmt psxy -R"$R" -J$J -T -Xa0 -Ya0 $O -O >> map.ps
# Ghostscript's anti-aliasing leaves a faint line where the fills of two
# shoreline bins meet. The map is drawn twice, smooth and sharp; a pixel whose
# neighbourhood is one fill in the sharp drawing takes that fill.
for bits in 4 1; do
    gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -dTextAlphaBits=$bits -dGraphicsAlphaBits=$bits \
        -r72x"$(echo "72*$side/$H" | bc -l)" -dFIXEDMEDIA -g${side}x$side -sOutputFile=map$bits.png map.ps
done

# 24-bit RGB without any ancillary chunks, so a rerun gives the same bytes.
/usr/bin/python3 - "$out" "$scale" <<'EOF'
import sys
from PIL import Image
from PIL import ImageChops, ImageFilter
image = Image.open("map4.png").convert("RGB")
sharp = Image.open("map1.png").convert("RGB")
# Where the 3 x 3 minimum and maximum of the sharp drawing agree, it is one fill.
flat = ImageChops.difference(sharp.filter(ImageFilter.MaxFilter(3)), sharp.filter(ImageFilter.MinFilter(3)))
mask = flat.convert("L").point(lambda v: 255 if v == 0 else 0)
image.paste(sharp, mask=mask)
scale = int(sys.argv[2])
if scale == 1:
    image.save(sys.argv[1], optimize=True)
else:
    # 32 colours hold the two fills exactly and the coastline's shades closely.
    for row in range(scale):
        for col in range(scale):
            tile = image.crop((500 * col, 500 * row, 500 * col + 500, 500 * row + 500))
            tile = tile.quantize(colors=32, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
            tile.save(f"{sys.argv[1]}/MAP_Z{scale}_{col}_{row}.png", optimize=True)
EOF
echo "make_map: wrote $out"
