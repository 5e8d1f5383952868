#!/usr/bin/env bash
# Draws the program's icon, a miniature of the front panel: two rows of switch buttons on a dark
# case, one channel on (green) and one relay on (orange). Writes the 32x32 and 16x16 images as
# 16-colour PNGs and the Windows icon holding both. Run it again after changing the drawing.
set -euo pipefail
cd "$(dirname "$0")"
IM=/usr/bin/convert

# draw SIZE CELL GAP OUTLINE OUTPUT: the case, then two rows of four cells around a bus bar.
draw() {
  local size=$1 cell=$2 gap=$3 outline=$4 out=$5
  local margin=$(( (size - 4 * cell - 3 * gap) / 2 ))
  local rows=("$(( size / 2 - 2 * gap - cell - size / 16 ))" "$(( size / 2 + 2 * gap + size / 16 ))")
  local args=(-size "${size}x${size}" xc:none -fill '#1c2a4a' -stroke '#0a1020'
              -draw "roundrectangle 0,0 $((size - 1)),$((size - 1)) $((size / 8)),$((size / 8))")
  # The bus bar between the rows, in the blue of the bus labels.
  local mid=$(( size / 2 ))
  args+=(-stroke none -fill '#0000ff' -draw "rectangle $margin,$((mid - size / 32 - 1)) $((size - margin - 1)),$((mid + size / 32))")
  local colours=('#808080' '#00ff00' '#808080' '#808080'
                 '#808080' '#808080' '#808080' '#ff8000')
  for r in 0 1; do
    for c in 0 1 2 3; do
      local x=$(( margin + c * (cell + gap) )) y=${rows[$r]}
      args+=(-stroke "$outline" -fill "${colours[$((r * 4 + c))]}"
             -draw "rectangle $x,$y $((x + cell - 1)),$((y + cell - 1))")
    done
  done
  "$IM" "${args[@]}" -colors 16 "PNG8:$out"
}

draw 32 6 1 "#000000" orvane-32.png
draw 16 2 1 none orvane-16.png
"$IM" orvane-16.png orvane-32.png -colors 16 -type PaletteAlpha orvane.ico  # 4 bits a pixel and a mask
