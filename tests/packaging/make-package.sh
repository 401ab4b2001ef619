#!/usr/bin/env bash
# make-package.sh CPACK BUILD_DIR OUT_DIR: makes the Debian package of a build
# folder into OUT_DIR and unpacks it into OUT_DIR/root, as dpkg would install it.
set -euo pipefail
cpack=$1 build=$2 out=$3
rm -rf "$out"
mkdir -p "$out"
"$cpack" -G DEB -B "$out" --config "$build/CPackConfig.cmake"
debs=("$out"/*.deb)
dpkg-deb -x "${debs[0]}" "$out/root"
