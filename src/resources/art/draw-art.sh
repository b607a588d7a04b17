#!/usr/bin/env bash
# Draws the program's bitmaps, icon and animations into this folder's parent (res/ and gif/).
# The results are committed, so a build needs no image tools; run this again after changing it.
# Needs ImageMagick 6 and the DejaVu fonts.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out="$here/../res"
gifs="$here/../gif"
mkdir -p "$out" "$gifs"
IM=${CONVERT:-/usr/bin/convert}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The look: a navy header, white content cards, an amber accent for the main actions.
NAVY='#17365d'; NAVY2='#245a94'; INK='#1d2b3a'; MUTED='#5b6b7c'; LINE='#c9d6e3'
PAPER='#ffffff'; BODY='#eef3f8'; BAND='#e3ecf5'
AMBER='#f0962e'; AMBER_HOT='#f7ab52'; AMBER_DOWN='#d27a16'
BLUE='#2e6fb7'; BLUE_HOT='#3f86d3'; BLUE_DOWN='#215893'
SOFT='#f4f7fb'; SOFT_HOT='#e4eefa'; SOFT_DOWN='#d3e1f1'
BOLD=DejaVu-Sans-Bold; REG=DejaVu-Sans

save() {  # save SRC ID : writes res/ID.bmp as a 24-bit bitmap
  "$IM" "$1" -background white -alpha remove -alpha off -type TrueColor "BMP3:$out/$2.bmp"
}

# button ID_NORMAL ID_HOT ID_PRESSED WIDTH HEIGHT KIND BACKDROP "Label"
# KIND: primary (amber), action (blue), plain (light), tab (header tab), link (header text link)
button() {
  local n=$1 h=$2 p=$3 w=$4 ht=$5 kind=$6 back=$7 label=$8
  local fills strokes inks size=12 font=$BOLD
  case $kind in
    primary) fills=("$AMBER" "$AMBER_HOT" "$AMBER_DOWN"); strokes=('#c86f10' '#d98425' '#a95e0c'); inks=(white white white); size=14 ;;
    action)  fills=("$BLUE" "$BLUE_HOT" "$BLUE_DOWN"); strokes=('#1d4f86' '#2a6bb0' '#17406d'); inks=(white white white) ;;
    plain)   fills=("$SOFT" "$SOFT_HOT" "$SOFT_DOWN"); strokes=("$LINE" '#8fb1d6' '#7c9cc0'); inks=("$NAVY" "$NAVY2" "$NAVY") ;;
    tab)     fills=('#2b5688' '#356aa6' "$PAPER"); strokes=('#3a6aa0' '#4b7fbd' "$PAPER"); inks=('#dbe7f5' white "$NAVY"); size=13 ;;
    link)    fills=("$back" "$back" "$back"); strokes=("$back" "$back" "$back"); inks=('#c8d8ec' white "$AMBER_HOT"); size=11; font=$REG ;;
  esac
  local ids=("$n" "$h" "$p") i
  for i in 0 1 2; do
    local dy=0; [ $i -eq 2 ] && dy=1
    local shape="roundrectangle 0,0 $((w-1)),$((ht-1)) 6,6"
    [ "$kind" = tab ] && shape="roundrectangle 0,0 $((w-1)),$((ht+8)) 7,7"
    "$IM" -size "${w}x${ht}" "xc:$back" -fill "${fills[$i]}" -stroke "${strokes[$i]}" -strokewidth 1 \
      -draw "$shape" -stroke none -fill "${inks[$i]}" -font "$font" -pointsize "$size" \
      -gravity center -annotate "+0+$dy" "$label" "$tmp/b.png"
    save "$tmp/b.png" "${ids[$i]}"
  done
}

# A hexagon (the hive cell of the logo) centred at X,Y with radius R.
hexagon() {
  local x=$1 y=$2 r=$3 pts="" a
  for a in 30 90 150 210 270 330; do
    pts+="$(awk -v x="$x" -v y="$y" -v r="$r" -v a="$a" 'BEGIN{printf "%.1f,%.1f ", x+r*cos(a*3.14159265/180), y+r*sin(a*3.14159265/180)}')"
  done
  echo "polygon $pts"
}

logo() {  # logo X Y R : three cells
  local x=$1 y=$2 r=$3
  local dx; dx=$(awk -v r="$r" 'BEGIN{printf "%.1f", r*1.732}')
  printf '%s ' "-fill '$AMBER' -stroke none -draw \"$(hexagon "$x" "$y" "$r")\""
  printf '%s ' "-fill '#f7c06f' -draw \"$(hexagon "$(awk -v x="$x" -v d="$dx" 'BEGIN{print x+d}')" "$y" "$r")\""
  printf '%s ' "-fill '#ffffff' -draw \"$(hexagon "$(awk -v x="$x" -v d="$dx" 'BEGIN{print x+d/2}')" "$(awk -v y="$y" -v r="$r" 'BEGIN{print y+r*1.5}')" "$r")\""
}

# Extra drawing for the next page: cap X Y SIZE COLOUR "text"; box X1 Y1 X2 Y2 FILL.
# The pages give screen readers the same headings and texts (SetAccessibleText): change both together.
EXTRA=()
cap() { EXTRA+=(-fill "$4" -font "$BOLD" -pointsize "$3" -annotate "+$1+$2" "$5"); }
box() { EXTRA+=(-fill "$5" -stroke "$LINE" -draw "roundrectangle $1,$2 $3,$4 6,6" -stroke none); }

# page ID WIDTH HEIGHT "Title": a white card with a title band, plus the EXTRA drawing.
page() {
  local id=$1 w=$2 h=$3 title=$4
  "$IM" -size "${w}x${h}" "xc:$PAPER" \
    -fill "$BAND" -draw "rectangle 0,0 $((w-1)),47" -fill "$AMBER" -draw "rectangle 0,47 $((w-1)),49" \
    -fill none -stroke "$LINE" -draw "rectangle 0,0 $((w-1)),$((h-1))" -stroke none \
    -fill "$NAVY" -font "$BOLD" -pointsize 18 -annotate +18+32 "$title" \
    "${EXTRA[@]}" "$tmp/p.png"
  save "$tmp/p.png" "$id"
  EXTRA=()
}

# --- image list 135: clear, checked, partly checked, expanded, folded (16x16 each, magenta mask)
"$IM" -size 80x16 xc:magenta +antialias \
  -fill white -stroke "$MUTED" -draw "rectangle 1,1 14,14" \
  -draw "rectangle 17,1 30,14" -draw "rectangle 33,1 46,14" -stroke none \
  -stroke "$BLUE" -strokewidth 2 -fill none -draw "polyline 19,8 22,11 28,4" -stroke none -strokewidth 1 \
  -fill "$BLUE" -draw "rectangle 36,4 43,11" \
  -fill "$NAVY2" -draw "polygon 51,5 61,5 56,11" -draw "polygon 69,3 75,8 69,13" \
  "$tmp/il.png"
"$IM" "$tmp/il.png" -alpha off -type TrueColor "BMP3:$out/135.bmp"

# --- main window (802x600): header with logo and tab strip, soft body
eval "$IM -size 802x600 xc:'$BODY' -fill '$NAVY' -draw 'rectangle 0,0 801,137' \
  -fill '$NAVY2' -draw 'rectangle 0,96 801,137' -fill '$AMBER' -draw 'rectangle 0,137 801,139' \
  $(logo 34 40 14) \
  -fill white -font $BOLD -pointsize 30 -annotate +78+52 'Hivora' \
  -fill '#c8d8ec' -font $REG -pointsize 12 -annotate +80+76 'Registry Cleaner' \
  '$tmp/main.png'"
save "$tmp/main.png" 136

# --- splash (480x300); the window writes "Registry Cleaner <version>" at +24+245 itself
eval "$IM -size 480x300 xc:'$NAVY' -fill '$NAVY2' -draw 'rectangle 0,220 479,299' \
  -fill '$AMBER' -draw 'rectangle 0,218 479,220' $(logo 190 95 30) \
  -fill white -font $BOLD -pointsize 40 -gravity north -annotate +0+150 'Hivora' -gravity northwest \
  -fill '#c8d8ec' -font $REG -pointsize 13 -annotate +24+268 'Loading...' '$tmp/splash.png'"
save "$tmp/splash.png" 137

# --- category panel (190x399)
"$IM" -size 190x399 "xc:$PAPER" -fill "$BAND" -draw "rectangle 0,0 189,33" \
  -fill "$AMBER" -draw "rectangle 0,33 189,35" -fill none -stroke "$LINE" -draw "rectangle 0,0 189,398" -stroke none \
  -fill "$NAVY" -font "$BOLD" -pointsize 13 -annotate +12+23 "Scan Areas" "$tmp/panel.png"
save "$tmp/panel.png" 138

# --- page backgrounds (586x423 unless said)
cap 24 84 12 "$MUTED" "Choose how thoroughly Hivora looks through the registry."
cap 304 135 11 "$INK" "Only the areas ticked on the left."
cap 304 195 11 "$INK" "The recommended areas, for every day."
cap 304 255 11 "$INK" "Every area, with the deep scan."
page 139 586 423 "Scan Now"
page 140 586 423 "Scanning"
cap 46 70 11 "$MUTED" "Tick the problems to repair. Click a category to unfold it."
page 215 778 423 "Scan Results"
# statistics (778x444)
box 16 62 262 250 "$SOFT"; cap 28 84 13 "$NAVY" "Scan Summary"
cap 28 110 11 "$INK" "Last Scan Review"; cap 28 132 11 "$MUTED" "Date and Time"
EXTRA+=(-fill "$NAVY2" -draw "roundrectangle 28,150 138,236 6,6" -draw "roundrectangle 146,150 252,236 6,6")
box 16 262 262 360 "$SOFT"; cap 28 284 13 "$NAVY" "Product Summary"
cap 28 310 11 "$INK" "Version"; cap 28 334 11 "$INK" "Last Updated"
box 276 62 762 384 "$PAPER"; EXTRA+=(-fill "$BAND" -draw "rectangle 277,63 761,88")
cap 290 81 11 "$NAVY" "Category"; cap 560 81 11 "$NAVY" "Error(s)"
cap 630 81 11 "$NAVY" "Cleaned"; cap 700 81 11 "$NAVY" "Ignored"
page 141 778 444 "Statistics"
cap 24 300 11 "$MUTED" "Hivora finds registry entries that point to things that are gone."
page 142 586 423 "About"

eval "$IM '$out/142.bmp' $(logo 250 150 30) -fill '$NAVY' -font $BOLD -pointsize 28 -annotate +216+236 'Hivora' '$tmp/about.png'"
save "$tmp/about.png" 142
# settings pages: the page's own sub-tab is drawn in the background as the current one
subtabs() {  # subtabs ACTIVE(0..2): the page's own sub-tab, drawn as the current one
  local names=("General Settings" "Ignore List" "Scheduling")
  local x=$((18 + $1 * 132))
  "$IM" -size 128x28 xc:white -fill "$NAVY" -draw "roundrectangle 0,0 127,27 6,6" -fill white -font "$BOLD" \
    -pointsize 12 -gravity center -annotate +0+0 "${names[$1]}" "$tmp/subtab$1.png"
  EXTRA+=(-draw "image over $x,62 0,0 '$tmp/subtab$1.png'" -fill "$NAVY" -draw "rectangle 18,89 567,90")
}
subtabs 0
page 143 586 423 "Settings"
subtabs 1
page 155 586 423 "Settings"
subtabs 2
page 144 586 423 "Settings"
cap 24 84 12 "$MUTED" "Registry backups made before each repair"
page 162 586 423 "Backup"
box 16 70 568 220 "$SOFT"
cap 164 110 13 "$NAVY" "Keep Hivora up to date"
page 165 586 423 "Updates"

# --- buttons
button 145 146 147 120 34 tab "$NAVY2" "Scan Now"
button 148 149 150 120 34 tab "$NAVY2" "Settings"
button 151 152 153 120 34 tab "$NAVY2" "Backup"
button 163 164 164 50 20 link "$NAVY" "Help"
button 166 167 167 50 20 link "$NAVY" "About"
button 156 157 156 128 28 plain white "General Settings"
button 158 159 158 128 28 plain white "Ignore List"
button 160 161 160 128 28 plain white "Scheduling"
button 168 169 168 150 30 primary white "Quick Scan"
button 170 171 170 250 44 primary white "Scan Selected Areas"
button 172 173 172 250 44 action white "Standard Scan"
button 174 175 174 250 44 action white "Full Scan"
button 176 177 176 100 30 plain white "Stop"
button 178 179 178 100 30 primary white "Next"
button 180 181 180 140 30 plain white "Clear Statistics"
button 182 183 182 140 36 primary white "Repair"
button 184 187 184 130 28 plain white "Open Log Folder"
button 185 186 185 100 30 plain white "Back"
button 188 189 188 150 30 action white "Manage Schedule"
button 191 192 191 88 27 action white "OK"
button 190 193 194 150 30 plain white ""
button 195 196 195 100 30 plain white "Remove"
button 197 200 197 100 30 action white "Restore"
button 199 198 199 100 30 plain white "Remove"
button 209 210 209 100 28 plain "$BAND" "Update"
button 211 212 211 100 28 plain "$BAND" "Statistics"
button 217 218 217 122 27 primary white "Check Now"

# --- program icon: the logo on navy
eval "$IM -size 64x64 xc:'$NAVY' $(logo 20 22 11) '$tmp/icon64.png'"
"$IM" "$tmp/icon64.png" \( -clone 0 -resize 32x32 \) \( -clone 0 -resize 16x16 \) -delete 0 "$here/../hivora.ico"

# --- animations
# progress-General.gif: a ring of six cells lighting up in turn, 48x48
frames=()
for f in 0 1 2 3 4 5; do
  args=()
  for c in 0 1 2 3 4 5; do
    cx=$(awk -v c="$c" 'BEGIN{printf "%.1f", 24+15*cos((c*60-90)*3.14159265/180)}')
    cy=$(awk -v c="$c" 'BEGIN{printf "%.1f", 24+15*sin((c*60-90)*3.14159265/180)}')
    if [ "$c" -eq "$f" ]; then col=$AMBER; elif [ "$c" -eq $(((f + 5) % 6)) ]; then col='#f7c06f'; else col=$LINE; fi
    args+=(-fill "$col" -draw "$(hexagon "$cx" "$cy" 6)")
  done
  "$IM" -size 48x48 xc:white "${args[@]}" "$tmp/spin$f.gif"
  frames+=("$tmp/spin$f.gif")
done
"$IM" -delay 12 -loop 0 "${frames[@]}" -layers Optimize "$gifs/progress-General.gif"

# progress-bar.gif: amber blocks travelling along a track, 240x14
frames=()
for f in $(seq 0 11); do
  x=$((f * 20 - 40))
  "$IM" -size 240x14 xc:white -fill "$BAND" -stroke "$LINE" -draw "roundrectangle 0,0 239,13 6,6" -stroke none \
    -fill "$AMBER" -draw "roundrectangle $((x < 2 ? 2 : x)),2 $((x + 60 > 237 ? 237 : x + 60)),11 4,4" "$tmp/bar$f.gif"
  frames+=("$tmp/bar$f.gif")
done
"$IM" -delay 8 -loop 0 "${frames[@]}" -layers Optimize "$gifs/progress-bar.gif"

# update animation.gif: two arrows turning around the logo cell, 96x96
frames=()
for f in $(seq 0 7); do
  a=$((f * 45))
  "$IM" -size 96x96 xc:white -fill "$NAVY2" -draw "$(hexagon 48 48 18)" \
    -fill none -stroke "$AMBER" -strokewidth 6 -draw "arc 14,14 82,82 $a $((a + 120))" \
    -draw "arc 14,14 82,82 $((a + 180)) $((a + 300))" "$tmp/up$f.gif"
  frames+=("$tmp/up$f.gif")
done
"$IM" -delay 10 -loop 0 "${frames[@]}" -layers Optimize "$gifs/update animation.gif"

echo "art written to $out and $gifs"
