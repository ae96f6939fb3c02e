#!/usr/bin/env bash
# Draws the viewer's artwork (icons and bitmaps) from scratch with ImageMagick
# and writes it next to this script.  Run by hand; the outputs are committed and
# the build only uses them.  Re-running produces byte-identical files.
#
#   usage: viewer/res/art/make_art.sh        (CONVERT=/path/to/convert to override)
#
# Icons (.ico) hold a 32x32 32-bit image with alpha plus a 32x32 16-colour image
# with a 1-bit mask for low-colour displays; app.ico also carries 16x16 images.
# Bitmaps (.bmp) are 24-bit BMP3.  The small waveform-display bitmaps use pure
# white (#FFFFFF) as background only, so they can be drawn colour-keyed on white.

set -euo pipefail

CONVERT=${CONVERT:-convert}
ART=$(cd "$(dirname "$0")" && pwd)
command -v "$CONVERT" >/dev/null || { echo "make_art.sh: '$CONVERT' not found" >&2; exit 1; }

# ---------------------------------------------------------------------------
# palette (flat style: dark outlines, saturated fills; legible on #C0C0C0/#D4D0C8)
K='#262626'          # outline / ink
GRY='#6B7580'        # machine grey
BLU='#1F5FBF'; BLU_D='#0E2F66'; BLU_L='#DCEBFF'
GRN='#1E9E3E'; GRN_D='#0F5E24'; GRN_S='#3CF06C'   # GRN_S: trace on a dark screen
RED='#D9302A'; RED_D='#7E1712'
YEL='#F5CB4A'; YEL_D='#7A5A0C'; YEL_B='#D9A21B'
SCR='#102030'        # screen background

# ---------------------------------------------------------------------------
# helpers

# pt CX CY R DEG -> "x,y" on a circle (screen coordinates, y down, clockwise)
pt() {
    awk -v cx="$1" -v cy="$2" -v r="$3" -v a="$4" \
        'BEGIN { pi = atan2(0, -1); printf "%.2f,%.2f", cx + r*cos(a*pi/180), cy + r*sin(a*pi/180) }'
}

# glyph_P X Y SCALE COLOUR: letter P drawn as strokes, unit box about 11x16
glyph_P() {
    printf "push graphic-context translate %s,%s scale %s,%s fill none stroke '%s' stroke-width 3 stroke-linejoin round stroke-linecap butt path 'M 1.5,16 V 1.5 H 5.5 A 3.75,3.75 0 0 1 5.5,9 H 1.5' pop graphic-context\n" \
        "$1" "$2" "$3" "$3" "$4"
}

# glyph_Q X Y SCALE COLOUR: question mark drawn as strokes, unit box about 10x16
glyph_Q() {
    printf "push graphic-context translate %s,%s scale %s,%s fill none stroke '%s' stroke-width 2.8 stroke-linejoin round stroke-linecap butt path 'M 1.4,5.2 C 1.4,-0.6 8.6,-0.6 8.6,4.4 C 8.6,7.6 5,7.4 5,10.6 V 11.6' stroke none fill '%s' circle 5,14.4 5,16.1 pop graphic-context\n" \
        "$1" "$2" "$3" "$3" "$4" "$4"
}

# floppy disk body, shutter and label (label area x 7..24, y 16..28)
disk() {
    cat <<EOF
fill '$BLU' stroke '$BLU_D' stroke-width 1 polygon 3,3 25,3 28,6 28,28 3,28
fill '#C8CED6' stroke '$K' rectangle 9,3 22,11
fill '$BLU_D' stroke none rectangle 17,5 19,9
fill '#FFFFFF' stroke '$K' rectangle 6,15 25,28
EOF
}

# open yellow folder (front face roughly x 4..28, y 14..27)
folder() {
    cat <<EOF
fill '$YEL_B' stroke '$YEL_D' stroke-width 1 path 'M 2,6 H 10 L 12,8 H 26 V 27 H 2 Z'
fill '$YEL' stroke '$YEL_D' stroke-width 1 polygon 2,27 6,13 30,13 26,27
EOF
}

# magnifier: lens centre CX CY, radius R, handle to HX HY, lens fill
magnifier() {
    local cx=$1 cy=$2 r=$3 hx=$4 hy=$5 lens=$6 hw=${7:-5}
    local a
    a=$(pt "$cx" "$cy" "$r" 45)
    cat <<EOF
fill none stroke '$K' stroke-width $hw stroke-linecap round line $a $hx,$hy
fill '$lens' stroke '$K' stroke-width 2 circle $cx,$cy $cx,$(awk -v y="$cy" -v r="$r" 'BEGIN{print y+r}')
EOF
}

# write_ico NAME MVG: 32x32 icon, 32-bit alpha image + 16-colour masked image
write_ico() {
    local name=$1 mvg=$2
    "$CONVERT" -size 32x32 xc:none -draw "stroke-linejoin round $mvg" \
        \( +clone -channel A -threshold 50% +channel -background black -alpha background \
           -dither None -colors 16 \) \
        "$ART/$name.ico"
}

# write_bmp NAME CONVERT-ARGS...: builds an image from the args, writes a 24-bit BMP3
write_bmp() {
    local name=$1; shift
    "$CONVERT" "$@" -alpha off -type TrueColor -define bmp:format=bmp3 "BMP3:$ART/$name.bmp"
}

# a square wave as polyline points: X0 YLOW YHIGH STEP BITS  (BITS e.g. 0110)
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

FONTS=$("$CONVERT" -list font 2>/dev/null || true)
have_font() { [ -z "${ART_NO_FONT:-}" ] && grep -q "Font: $1\$" <<<"$FONTS"; }

# ---------------------------------------------------------------------------
# application icon (32x32 and 16x16)

APP32="
fill '$GRY' stroke '$K' stroke-width 1 roundrectangle 1,2 30,29 4,4
fill '$SCR' stroke '#000000' roundrectangle 4,5 27,22 2,2
fill none stroke '#24445C' line 5,13.5 26,13.5 line 15.5,6 15.5,21
fill none stroke '$GRN_S' stroke-width 2 stroke-linejoin miter polyline 5,18.5 9.5,18.5 9.5,8.5 15.5,8.5 15.5,18.5 21.5,18.5 21.5,8.5 27,8.5
fill '#C8D0D8' stroke '$K' circle 8,25.5 8,27 circle 13,25.5 13,27
fill '#F0C040' stroke none rectangle 22,25 25,26
"
APP16="
fill '$GRY' stroke '$K' stroke-width 1 roundrectangle 0,1 15,14 2,2
fill '$SCR' stroke none rectangle 2,3 13,10
fill none stroke '$GRN_S' stroke-width 1 polyline 2,9 5,9 5,4 8,4 8,9 11,9 11,4 13,4
fill '#F0C040' stroke none rectangle 11,12 12,12
"
"$CONVERT" \
    \( -size 32x32 xc:none -draw "$APP32" \) \
    \( -size 16x16 xc:none -draw "$APP16" \) \
    \( -clone 0 -channel A -threshold 50% +channel -background black -alpha background -dither None -colors 16 \) \
    \( -clone 1 -channel A -threshold 50% +channel -background black -alpha background -dither None -colors 16 \) \
    "$ART/app.ico"

# ---------------------------------------------------------------------------
# toolbar icons

write_ico tb_toolbox "
fill none stroke '$K' stroke-width 2 roundrectangle 10.5,4.5 20.5,12.5 2,2
fill '$RED' stroke '$K' stroke-width 1 rectangle 2,11 29,27
fill '#A8241E' stroke '$K' rectangle 2,11 29,16
fill '$YEL' stroke '$K' rectangle 14,14 17,19
fill none stroke '#F08A84' line 4,18 4,25
"

write_ico tb_info "
fill '#FFFFFF' stroke '$K' stroke-width 1 stroke-linejoin miter polygon 3,2 3,21 7.5,17 10.5,24 13.5,22.8 10.5,16 16.5,16
$(glyph_Q 18 9 1.15 "$BLU")
"

write_ico tb_zoom_in "
$(magnifier 13 13 8.5 27 27 "$BLU_L")
fill none stroke '$BLU' stroke-width 2.5 stroke-linecap butt line 8.5,13 17.5,13 line 13,8.5 13,17.5
"

write_ico tb_zoom_out "
$(magnifier 13 13 8.5 27 27 "$BLU_L")
fill none stroke '$BLU' stroke-width 2.5 stroke-linecap butt line 8.5,13 17.5,13
"

write_ico tb_acquire "
fill '$GRN' stroke '$GRN_D' stroke-width 1.5 stroke-linejoin round polygon 8,5 8,27 26,16
"

# repeating acquisition: two chasing arrows around a small play triangle
C=15.5; R=10.5
write_ico tb_repetitive "
fill none stroke '$GRN' stroke-width 3.5 stroke-linecap butt
path 'M $(pt $C $C $R 200) A $R,$R 0 0 1 $(pt $C $C $R 322)'
path 'M $(pt $C $C $R 20) A $R,$R 0 0 1 $(pt $C $C $R 142)'
fill '$GRN' stroke '$GRN_D' stroke-width 1
polygon $(pt $C $C 15.5 320) $(pt $C $C 5.5 320) $(pt $C $C $R 352)
polygon $(pt $C $C 15.5 140) $(pt $C $C 5.5 140) $(pt $C $C $R 172)
fill '$GRN_D' stroke none polygon 13,11.5 13,19.5 19.5,15.5
"

write_ico tb_stop "
fill '$RED' stroke '$RED_D' stroke-width 1 roundrectangle 6,6 25,25 2,2
fill none stroke '#EE7A74' line 8,8 23,8
"

write_ico tb_trigger "
fill none stroke '$BLU_D' stroke-width 2 stroke-linejoin miter polyline 2,24.5 14.5,24.5 14.5,5.5 29,5.5
fill '$RED' stroke '$RED_D' stroke-width 1 stroke-linejoin miter polygon 9,19 20,19 14.5,10
fill none stroke '$RED' stroke-width 2.5 line 20,12 29,12 line 24.5,12 24.5,21
"

write_ico tb_threshold "
fill none stroke '$BLU' stroke-width 2 path 'M 1,25 C 5,25 6.5,5 10.5,5 C 14.5,5 16,25 20,25 C 24,25 25.5,5 29.5,5'
fill none stroke '$RED' stroke-width 2 stroke-dasharray 3,2 line 0,15.5 32,15.5
"

write_ico tb_search "
$(magnifier 13.5 14.5 9 27 28 '#FFFFFF')
fill none stroke '$BLU' stroke-width 1.5 stroke-linejoin miter polyline $(wave_pts 7 17.5 11.5 3.25 0110)
"

write_ico tb_search_next "
$(magnifier 10 10 7.5 17.5 17.5 '#FFFFFF' 4)
fill none stroke '$BLU' stroke-width 1.5 stroke-linejoin miter polyline $(wave_pts 5 12.5 7.5 2.5 0110)
fill '$GRN' stroke '$GRN_D' stroke-width 1 stroke-linejoin miter polygon 12,22.5 20.5,22.5 20.5,18 30,25 20.5,31 20.5,27.5 12,27.5
"

write_ico tb_invert "
fill none stroke '$BLU' stroke-width 2 stroke-linejoin miter polyline $(wave_pts 1 11.5 3.5 7.5 0101) 
fill none stroke '$RED' stroke-width 2 stroke-linejoin miter polyline $(wave_pts 1 27.5 19.5 7.5 1010)
fill none stroke '$K' stroke-width 1 stroke-dasharray 2,2 line 0,15.5 32,15.5
"

write_ico tb_timing_state "
fill '$SCR' stroke '$K' stroke-width 1 rectangle 1,4 14,27
fill none stroke '$GRN_S' stroke-width 1 polyline $(wave_pts 2 11 7 3 0101) 
fill none stroke '#F0C040' stroke-width 1 polyline $(wave_pts 2 18 14 3 0011)
fill none stroke '$GRN_S' stroke-width 1 polyline $(wave_pts 2 25 21 3 0110)
fill '#FFFFFF' stroke '$K' rectangle 17,4 30,27
fill '$BLU' stroke '$K' rectangle 17,4 30,8
fill none stroke '$K' line 17,13 30,13 line 17,18 30,18 line 17,23 30,23 line 22,4 22,27
"

write_ico tb_print "
fill '#FFFFFF' stroke '$K' stroke-width 1 rectangle 8,2 23,12
fill '$GRY' stroke '$K' roundrectangle 2,11 29,23 2,2
fill none stroke '#9AA4AE' line 4,13 27,13
fill '#2A2F35' stroke none rectangle 6,18 25,19
fill '#30D050' stroke '$K' circle 25,15.5 25,16.5
fill '#FFFFFF' stroke '$K' rectangle 8,19 23,29
fill none stroke '#7A8694' line 11,22.5 20,22.5 line 11,25.5 18,25.5
"

write_ico tb_interface "
fill '#A0A8B0' stroke '$K' stroke-width 1 rectangle 1,2 3,28
fill '#2E8B3E' stroke '#143F1B' rectangle 4,5 30,22
fill '#2E8B3E' stroke '#143F1B' rectangle 8,22 26,27
fill '#E0B030' stroke none
rectangle 9,23 10,27 rectangle 12,23 13,27 rectangle 15,23 16,27
rectangle 18,23 19,27 rectangle 21,23 22,27 rectangle 24,23 25,27
fill '#1A1A1A' stroke none rectangle 9,9 19,18
fill '#1A1A1A' rectangle 22,9 27,13
fill none stroke '#C8D0D8' line 10,8 10,8 line 12,8 12,8 line 14,8 14,8 line 16,8 16,8 line 18,8 18,8
line 10,19 10,19 line 12,19 12,19 line 14,19 14,19 line 16,19 16,19 line 18,19 18,19
fill none stroke '#7FD08E' line 22,16 28,16 line 22,19 27,19
"

# gear: 8 teeth, hole punched out with an even-odd path
GEAR=$(awk 'BEGIN {
    pi = atan2(0, -1); cx = 15.5; cy = 15.5; ro = 14; ri = 10.5
    s = ""
    for (i = 0; i < 8; i++) {
        a = i * 45 - 90
        s = s sprintf(" %s%.2f,%.2f", (i == 0 ? "M " : "L "), cx + ri*cos((a-15)*pi/180), cy + ri*sin((a-15)*pi/180))
        s = s sprintf(" L %.2f,%.2f", cx + ro*cos((a-9)*pi/180),  cy + ro*sin((a-9)*pi/180))
        s = s sprintf(" L %.2f,%.2f", cx + ro*cos((a+9)*pi/180),  cy + ro*sin((a+9)*pi/180))
        s = s sprintf(" L %.2f,%.2f", cx + ri*cos((a+15)*pi/180), cy + ri*sin((a+15)*pi/180))
    }
    print s " Z M 20,15.5 A 4.5,4.5 0 1 0 11,15.5 A 4.5,4.5 0 1 0 20,15.5 Z"
}')
write_ico tb_environment "
fill '#5F7896' stroke '$K' stroke-width 1 fill-rule evenodd path '$GEAR'
fill none stroke '#9DB2CC' circle 15.5,15.5 15.5,8.5
"

write_ico tb_command_set "
fill '#FFFFFF' stroke '$K' stroke-width 1 stroke-linejoin miter polygon 3,2 17,2 22,7 22,29 3,29
fill '#D0D6DD' stroke '$K' polygon 17,2 17,7 22,7
fill none stroke '#7A8694' stroke-width 1.5 line 6,8 14,8 line 6,12 18,12 line 6,16 13,16 line 6,20 11,20 line 6,24 11,24
fill '$BLU' stroke '$BLU_D' circle 22.5,22.5 22.5,14
fill none stroke '#FFFFFF' stroke-width 2.8 stroke-linejoin round stroke-linecap butt path 'M $(pt 22.5 22.5 4.6 -42) A 4.6,4.6 0 1 0 $(pt 22.5 22.5 4.6 42)'
"

write_ico tb_help "
fill '#FFFFFF' stroke '$K' stroke-width 1 rectangle 7,5 27,29
fill none stroke '#A0A8B0' line 25,7 25,27 line 9,27 25,27
fill '$BLU' stroke '$BLU_D' rectangle 4,2 24,26
fill '$BLU_D' stroke none rectangle 5,3 7,25
$(glyph_Q 10 6 1.05 '#FFFFFF')
"

write_ico tb_about "
fill '$BLU' stroke '$BLU_D' stroke-width 1 circle 15.5,15.5 15.5,2
fill '#FFFFFF' stroke none circle 15.5,8.5 15.5,10.8
rectangle 13.5,13 17.5,24
rectangle 11.5,13 17.5,14.5
rectangle 11.5,22.5 19.5,24
"

write_ico tb_load_project "
$(folder)
$(glyph_P 13 14.2 0.78 "$BLU_D")
"

write_ico tb_save_project "
$(disk)
$(glyph_P 12 16.5 0.68 "$BLU_D")
"

write_ico tb_delete_project "
$(glyph_P 4 2 1.35 "$BLU_D")
fill none stroke '#FFFFFF' stroke-width 6.5 stroke-linecap round line 18,18 28,28 line 28,18 18,28
fill none stroke '$RED' stroke-width 4 stroke-linecap round line 18,18 28,28 line 28,18 18,28
"

write_ico tb_load_wave "
$(folder)
fill none stroke '$BLU_D' stroke-width 2 stroke-linejoin miter polyline $(wave_pts 7 24 17 3.2 011010)
"

write_ico tb_save_wave "
$(disk)
fill none stroke '$BLU_D' stroke-width 2 stroke-linejoin miter polyline $(wave_pts 8 25 18.5 3 010110)
"

write_ico tb_demo "
fill none stroke '#8C96A0' stroke-width 2 stroke-linecap butt
line 1,7.5 5,7.5 line 1,12.5 5,12.5 line 1,17.5 5,17.5 line 1,22.5 5,22.5
line 13,17.5 17,17.5 line 13,12.5 17,12.5
fill '#2A2A2A' stroke '$K' stroke-width 1 rectangle 4,4 13,26
fill '#8C96A0' stroke none circle 7,7 7,8.2
fill none stroke '$GRN' stroke-width 2 stroke-linejoin miter polyline 13,7.5 $(wave_pts 17 7.5 1.5 3.5 0101)
fill none stroke '$RED' stroke-width 2 stroke-linejoin miter polyline 13,22.5 $(wave_pts 17 22.5 28.5 3.5 0110)
"

# ---------------------------------------------------------------------------
# busy animation: ring of 7 segments; busy0 idle (all grey), busy1..7 run round

seg() {   # seg INDEX -> path of one ring segment
    local a0 a1
    a0=$(awk -v k="$1" 'BEGIN { printf "%.3f", -90 + k*360/7 + 4 }')
    a1=$(awk -v k="$1" 'BEGIN { printf "%.3f", -90 + (k+1)*360/7 - 4 }')
    printf "path 'M %s A 13.5,13.5 0 0 1 %s L %s A 7.5,7.5 0 0 0 %s Z'" \
        "$(pt 15.5 15.5 13.5 "$a0")" "$(pt 15.5 15.5 13.5 "$a1")" \
        "$(pt 15.5 15.5 7.5 "$a1")" "$(pt 15.5 15.5 7.5 "$a0")"
}
for f in 0 1 2 3 4 5 6 7; do
    mvg="stroke-width 1 "
    for k in 0 1 2 3 4 5 6; do
        fill='#9A9A9A'; line='#6A6A6A'
        if [ "$f" -gt 0 ]; then
            d=$(( ( (f - 1) - k + 7 ) % 7 ))
            case $d in
                0) fill='#22C046'; line="$GRN_D" ;;
                1) fill='#6CD486'; line="$GRN_D" ;;
                2) fill='#A9E2B7'; line='#4C8A5C' ;;
            esac
        fi
        mvg+="fill '$fill' stroke '$line' $(seg $k) "
    done
    write_ico "busy$f" "$mvg"
done

# ---------------------------------------------------------------------------
# bitmaps

# stroke lettering used when no DejaVu font is installed (letters K V I E W R)
stroke_word() {   # stroke_word X Y H WORD -> MVG; cell width 0.6*H, gap 0.25*H
    awk -v x="$1" -v y="$2" -v h="$3" -v word="$4" 'BEGIN {
        g["K"] = "0,0 0,1|0.6,0 0,0.55|0.2,0.4 0.6,1"
        g["V"] = "0,0 0.3,1 0.6,0"
        g["I"] = "0.3,0 0.3,1"
        g["E"] = "0.6,0 0,0 0,1 0.6,1|0,0.5 0.45,0.5"
        g["W"] = "0,0 0.15,1 0.3,0.35 0.45,1 0.6,0"
        g["R"] = "0,1 0,0 0.45,0 0.6,0.12 0.6,0.38 0.45,0.5 0,0.5|0.3,0.5 0.6,1"
        cx = x
        for (i = 1; i <= length(word); i++) {
            c = substr(word, i, 1)
            if (c in g) {
                n = split(g[c], strokes, "|")
                for (s = 1; s <= n; s++) {
                    m = split(strokes[s], p, " "); line = "polyline"
                    for (j = 1; j <= m; j++) { split(p[j], q, ","); line = line sprintf(" %.1f,%.1f", cx + q[1]*h, y + q[2]*h) }
                    print line
                }
            }
            cx += (c == " ") ? 0.5*h : 0.85*h
        }
    }'
}

if have_font DejaVu-Sans-Bold && have_font DejaVu-Sans; then
    TITLE=(-font DejaVu-Sans-Bold -pointsize 38 -fill '#E8F0F8' -annotate +22+58 'KV Viewer'
           -font DejaVu-Sans -pointsize 14 -fill '#7FA8C8' -annotate +25+85 'Logic Analyzer Software')
    LOGO_TEXT=(-font DejaVu-Sans-Bold -pointsize 22 -fill '#E8F0F8' -gravity north -annotate +0+5 'KV' -gravity northwest)
else
    TITLE=(-fill none -stroke '#E8F0F8' -strokewidth 4 -draw "stroke-linejoin round stroke-linecap round $(stroke_word 22 22 36 'KV VIEWER')" -stroke none)
    LOGO_TEXT=(-fill none -stroke '#E8F0F8' -strokewidth 3 -draw "stroke-linejoin round stroke-linecap round $(stroke_word 15 7 18 'KV')" -stroke none)
fi

# splash 320x200: title, grid, four traces and a trigger line
GRID=""
for x in 20 60 100 140 180 220 260 300; do GRID+="line $x,96 $x,188 "; done
for y in 96 119 142 165 188; do GRID+="line 12,$y 308,$y "; done
write_bmp splash \
    -size 320x200 gradient:'#1C3046-#070C12' \
    -fill none -stroke '#1A3448' -strokewidth 1 -draw "$GRID" \
    -stroke '#3A5A78' -draw "rectangle 12,96 308,188" \
    -stroke '#3CF06C' -strokewidth 2 -draw "polyline $(wave_pts 12 114 101 12 010101010101010101010101)" \
    -stroke '#F0C040' -draw "polyline $(wave_pts 12 137 124 24 000111000110)" \
    -stroke '#40C8F0' -draw "polyline $(wave_pts 12 160 147 12 001101100111011000100110)" \
    -stroke '#F070C0' -draw "polyline $(wave_pts 12 183 170 12 111111100000000011111111)" \
    -stroke '#FF4040' -strokewidth 1 -draw "stroke-dasharray 4,3 line 156,92 156,192" \
    -stroke none -fill '#FF4040' -draw "polygon 151,88 161,88 156,94" \
    -stroke none "${TITLE[@]}" \
    -fill '#3CF06C' -draw "rectangle 22,65 150,66" \
    -fill none -stroke '#3A5A78' -strokewidth 1 -draw "rectangle 0,0 319,199" \
    -crop 320x200+0+0 +repage

# logo 64x64
write_bmp logo \
    -size 64x64 gradient:'#1C3046-#070C12' \
    -fill none -stroke '#3A5A78' -strokewidth 2 -draw "rectangle 1,1 62,62" \
    -stroke none "${LOGO_TEXT[@]}" \
    -fill none -stroke '#3CF06C' -strokewidth 2.5 -draw "stroke-linejoin round polyline $(wave_pts 6 54 39 7.43 0101010)" \
    -stroke '#F0C040' -strokewidth 1.5 -draw "polyline 6,34.5 58,34.5"

# T marker (red tag pointing down, off-white T), white backdrop
write_bmp mark_trigger \
    -size 13x15 xc:'#FFFFFF' +antialias \
    -fill "$RED" -stroke "$RED_D" -strokewidth 1 -draw "polygon 0,0 12,0 12,9 6,14 0,9" \
    -fill '#F8F8F8' -stroke none -draw "rectangle 3,2 9,3 rectangle 5,4 7,10"

# cursor flag (pole plus swallow-tail flag), white backdrop
write_bmp mark_cursor \
    -size 13x15 xc:'#FFFFFF' +antialias \
    -fill "$BLU" -stroke "$BLU_D" -strokewidth 1 -draw "polygon 1,0 12,0 9,4 12,8 1,8" \
    -fill "$K" -stroke none -draw "rectangle 0,0 1,14"

# marker-bar tile (tiles horizontally): bevelled grey strip with ticks
write_bmp mark_bar \
    -size 16x16 gradient:'#EEEEEE-#B4B4B4' +antialias \
    -fill none -stroke '#FFFFFF' -strokewidth 1 -draw "line 0,0 15,0" \
    -stroke '#7A7A7A' -draw "line 0,15 15,15 line 0,9 0,15 line 8,12 8,15 line 4,14 4,15 line 12,14 12,15"

# selection arrow (points right), white backdrop
write_bmp arrow_sel \
    -size 13x14 xc:'#FFFFFF' +antialias \
    -fill "$BLU_D" -stroke none -draw "polygon 5,0 12,6 12,7 5,13 rectangle 0,4 5,9"

set -- "$ART"/*.ico "$ART"/*.bmp
echo "make_art.sh: wrote $# files to $ART"
