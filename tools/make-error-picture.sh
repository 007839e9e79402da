#!/usr/bin/env bash
# Draws data/possible-error-messages/error.jpg: two messages of the kind a planning application
# shows when a plan opens with a warning (a plan saved by a newer version, a plan that needs repair),
# the picture the "Help" button offers. Needs ImageMagick's convert and the Liberation fonts.
#
#     tools/make-error-picture.sh [OUTPUT_FILE]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-data/possible-error-messages/error.jpg}
mkdir -p "$(dirname "$out")"

regular=Liberation-Sans
bold=Liberation-Sans-Bold

# One message window at (x, y), 520 x 200: title bar, warning sign, three lines of text, OK and Cancel.
dialog() {
  local x=$1 y=$2 title=$3 line1=$4 line2=$5 line3=$6
  local r=$((x + 520)) b=$((y + 200))
  printf '%s\n' \
    -fill 'rgba(0,0,0,0.28)' -draw "rectangle $((x + 6)),$((y + 6)) $((r + 6)),$((b + 6))" \
    -fill '#f3f3f3' -stroke '#5a6b80' -strokewidth 1 -draw "rectangle $x,$y $r,$b" \
    -fill '#2d4f7c' -stroke none -draw "rectangle $((x + 1)),$((y + 1)) $((r - 1)),$((y + 30))" \
    -fill white -font "$bold" -pointsize 15 -annotate "+$((x + 12))+$((y + 21))" "$title" \
    -fill '#d04a3a' -draw "rectangle $((r - 40)),$((y + 5)) $((r - 8)),$((y + 26))" \
    -fill white -font "$bold" -pointsize 14 -annotate "+$((r - 29))+$((y + 21))" 'x' \
    -fill '#f6c200' -stroke '#6b5200' -strokewidth 2 \
    -draw "polygon $((x + 46)),$((y + 52)) $((x + 76)),$((y + 104)) $((x + 16)),$((y + 104))" \
    -stroke none -fill '#222222' -font "$bold" -pointsize 34 -annotate "+$((x + 40))+$((y + 100))" '!' \
    -fill '#111111' -font "$regular" -pointsize 15 \
    -annotate "+$((x + 96))+$((y + 66))" "$line1" \
    -annotate "+$((x + 96))+$((y + 88))" "$line2" \
    -font "$bold" -annotate "+$((x + 96))+$((y + 124))" "$line3" \
    -fill '#e4e9f0' -stroke '#2d4f7c' -strokewidth 2 \
    -draw "roundrectangle $((r - 214)),$((b - 46)) $((r - 118)),$((b - 16)) 3,3" \
    -fill '#e9e9e9' -stroke '#8a8a8a' -strokewidth 1 \
    -draw "roundrectangle $((r - 106)),$((b - 46)) $((r - 12)),$((b - 16)) 3,3" \
    -stroke none -fill '#111111' -font "$regular" -pointsize 15 \
    -annotate "+$((r - 177))+$((b - 26))" 'OK' \
    -annotate "+$((r - 84))+$((b - 26))" 'Cancel'
}

mapfile -t first < <(dialog 30 30 'Planning application' \
  'The plan "Office Move.mpp" was saved by a newer version' \
  'of the planning application. Some details may not be shown.' \
  'Do you want to open it anyway?')
mapfile -t second < <(dialog 170 270 'Planning application' \
  'The plan "Budget 2016.mpp" is damaged. The application' \
  'can try to repair it, but some tasks may be lost.' \
  'Repair the plan and open it?')

convert -size 720x500 gradient:'#e3e9f0'-'#b4c1d1' \
  "${first[@]}" "${second[@]}" \
  -strip -quality 90 "$out"
echo "$out"
