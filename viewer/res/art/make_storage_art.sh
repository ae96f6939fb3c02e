#!/usr/bin/env bash
# Draws the eight pictures of the waveform temporary-storage dialog with ImageMagick and writes
# them next to this script. Run by hand; the outputs are committed and the build only uses them.
#
#   usage: viewer/res/art/make_storage_art.sh        (CONVERT=/path/to/convert to override)
#
# One picture per origin area, 88x60 24-bit BMP3: a small screen with waves, green for the main
# screen, green under red for the compare area, amber with the slot's number for storage 1 to 6.
# An area shows the picture of the area its content came from.

set -euo pipefail

CONVERT=${CONVERT:-convert}
ART=$(cd "$(dirname "$0")" && pwd)
command -v "$CONVERT" >/dev/null || { echo "make_storage_art.sh: '$CONVERT' not found" >&2; exit 1; }

GRN='#3CF06C'; RED='#FF4040'; AMB='#F0C040'; FRAME='#3A5A78'

# wave_pts X LO HI STEP BITS -> polyline points of a digital wave
wave_pts() {
    awk -v x="$1" -v lo="$2" -v hi="$3" -v st="$4" -v bits="$5" 'BEGIN {
        n = length(bits); prev = ""; out = ""
        for (i = 1; i <= n; i++) {
            b = substr(bits, i, 1); y = (b == "1") ? hi : lo
            if (prev != "" && b != prev) out = out sprintf(" %.1f,%.1f", x, (prev == "1") ? hi : lo)
            out = out sprintf(" %.1f,%.1f", x, y)
            x += st; prev = b
        }
        out = out sprintf(" %.1f,%.1f", x, y)
        print out
    }'
}

# digit_draw X Y N: seven-segment digit N in a 14x24 box, as ImageMagick draw lines
digit_draw() {
    local x=$1 y=$2 n=$3 segs
    case $n in
        1) segs="b c" ;; 2) segs="a b g e d" ;; 3) segs="a b g c d" ;;
        4) segs="f g b c" ;; 5) segs="a f g c d" ;; 6) segs="a f g e c d" ;;
    esac
    local r=$((x + 14)) m=$((y + 12)) b=$((y + 24)) out=""
    for s in $segs; do
        case $s in
            a) out="$out line $x,$y $r,$y" ;;  b) out="$out line $r,$y $r,$m" ;;
            c) out="$out line $r,$m $r,$b" ;;  d) out="$out line $x,$b $r,$b" ;;
            e) out="$out line $x,$m $x,$b" ;;  f) out="$out line $x,$y $x,$m" ;;
            g) out="$out line $x,$m $r,$m" ;;
        esac
    done
    echo "$out"
}

write_bmp() {
    local name=$1; shift
    "$CONVERT" -size 88x60 gradient:'#1C3046-#070C12' "$@" \
        -fill none -stroke "$FRAME" -strokewidth 1 -draw "rectangle 0,0 87,59" \
        -alpha off -type TrueColor -define bmp:format=bmp3 "BMP3:$ART/$name.bmp"
}

W1=$(wave_pts 6 24 12 6 0110100111011)
W2=$(wave_pts 6 50 38 6 1001110010010)
W2B=$(wave_pts 6 50 38 6 1001100110010)

write_bmp storage_main \
    -fill none -stroke "$GRN" -strokewidth 2 -draw "polyline $W1" -draw "polyline $W2"

# The compared capture lies under the current one: only where they differ does red show.
write_bmp storage_compare \
    -fill none -stroke "$RED" -strokewidth 2 -draw "polyline $W2B" \
    -stroke "$GRN" -draw "polyline $W1" -draw "polyline $W2"

for k in 1 2 3 4 5 6; do
    write_bmp "storage_slot$k" \
        -fill none -stroke "$AMB" -strokewidth 2 -draw "polyline $(wave_pts 6 50 38 6 0110100111)" \
        -stroke '#FFFFFF' -strokewidth 3 -draw "$(digit_draw 36 8 "$k")"
done

echo "make_storage_art.sh: wrote 8 pictures to $ART"
