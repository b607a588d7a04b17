#!/usr/bin/env bash
# Shows the control gallery under the current X display, puts it through a few states and saves a
# PNG of the screen for each: BIN = folder of the gallery and guidriver, OUT = folder for the PNGs.
set -u
bin=$1
out=$2
here=$(cd "$(dirname "$0")/../.." && pwd)
run="$here/scripts/wine-run"
title="Hivora Control Gallery"
mkdir -p "$out"
command -v import >/dev/null || { echo "import (ImageMagick) is missing"; exit 1; }

"$run" "$bin/control_gallery.exe" &
gallery=$!
drive() { "$run" "$bin/guidriver.exe" "$@" >/dev/null; }
shot() { sleep 1; import -window root "$out/$1.png"; echo "saved $out/$1.png"; }

drive wait "$title" || { kill $gallery; exit 1; }
shot gallery-folded
# Unfold every header (the fourth header first, so that the others keep their places).
for y in 112 78 44 10; do drive clickat "$title" 54321 10 $((y + 8)); done
drive clickat "$title" 54321 25 60
shot gallery-unfolded
drive wheel "$title" 54321 -120
drive wheel "$title" 54321 -120
drive key "$title" 54321 40
drive move "$title" 3123 5 5
shot gallery-scrolled
drive close "$title"
wait $gallery
ls "$out"/gallery-folded.png "$out"/gallery-unfolded.png "$out"/gallery-scrolled.png
