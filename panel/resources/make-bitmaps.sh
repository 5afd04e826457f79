#!/bin/sh
# Regenerates the panel's bitmaps and its icon with ImageMagick and the
# Liberation fonts. The committed PNGs are what the build uses; run this only
# after changing a drawing here, from any directory.
#
# Label sizes are the label boxes of the main window in pixels: with the
# window's 13-pixel dialog font one horizontal dialog unit is 2 pixels and one
# vertical unit 15/8 pixel (rounded at each edge).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
out="$here/bitmaps"
icons="$here/icons"
mkdir -p "$out" "$icons"

bold=Liberation-Sans-Bold
ink='rgb(128,128,255)'

# label <id> <width> <height> <point size> <gravity> <text>
label() {
    convert -size "$2x$3" xc:black -font "$bold" -pointsize "$4" -fill "$ink" \
        -gravity "$5" -annotate +1+0 "$6" -strip "PNG24:$out/$1.png"
}

label 149 122 34 20 West 'POWER:'
label 150  66 77 34 West '°C'
label 151 100 40 20 West 'FREQ:'
label 152 100 35 20 West 'LINE:'
label 153  78 32 20 West 'MIC:'
label 154 100 36 18 East 'LINE:'
label 155  66 34 18 West 'MHz'
label 156  78 32 18 East 'MIC:'
label 157  80 34 18 East 'PWR:'
label 158  80 32 18 East 'SWR:'
label 160  20 29 18 West 'W'

# 161: the slider thumb, 20 x 10: a bevelled steel key with a centre groove.
convert -size 20x10 xc:'rgb(176,176,176)' +antialias \
    -fill 'rgb(232,232,232)' -draw 'line 0,0 19,0' -draw 'line 0,0 0,9' \
    -fill 'rgb(208,208,208)' -draw 'line 1,1 18,1' -draw 'line 1,1 1,8' \
    -fill 'rgb(64,64,64)' -draw 'line 0,9 19,9' -draw 'line 19,0 19,9' \
    -fill 'rgb(112,112,112)' -draw 'line 1,8 18,8' -draw 'line 18,1 18,8' \
    -fill 'rgb(80,80,80)' -draw 'line 9,2 9,7' \
    -fill 'rgb(240,240,240)' -draw 'line 10,2 10,7' \
    -strip "PNG24:$out/161.png"

# 162 / 163: step-button triangles, grey on dark grey, no white anywhere (the
# buttons treat white as transparent).
triangle() {
    convert -size 20x18 xc:'rgb(57,57,57)' +antialias -fill 'rgb(128,128,128)' \
        -draw "polygon $2" -strip "PNG24:$out/$1.png"
}
triangle 162 '9,4 10,4 16,13 3,13'
triangle 163 '3,4 16,4 10,13 9,13'

# 128: the program icon, a lattice mast sending waves to either side, drawn
# at 4x and scaled down for smooth edges.
convert -size 256x256 xc:none -stroke 'rgb(40,40,40)' -strokewidth 4 \
    -fill 'rgb(24,32,64)' -draw 'roundrectangle 4,4 251,251 40,40' \
    -stroke 'rgb(210,210,220)' -strokewidth 12 -fill none \
    -draw 'line 128,84 70,236' -draw 'line 128,84 186,236' \
    -strokewidth 8 \
    -draw 'line 109,134 147,134' -draw 'line 94,174 162,174' -draw 'line 80,212 176,212' \
    -draw 'line 109,134 162,174' -draw 'line 147,134 94,174' \
    -draw 'line 94,174 176,212' -draw 'line 162,174 80,212' \
    -stroke 'rgb(255,75,0)' -strokewidth 12 -fill none \
    -draw 'arc 88,34 168,114 140,220' -draw 'arc 88,34 168,114 -40,40' \
    -draw 'arc 50,-4 206,152 145,215' -draw 'arc 50,-4 206,152 -35,35' \
    -stroke none -fill 'rgb(255,75,0)' -draw 'circle 128,74 128,90' \
    -resize 64x64 -strip "PNG32:$icons/128.png"
