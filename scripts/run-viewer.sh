#!/usr/bin/env bash
# Builds KV Viewer and starts it under Wine in a prefix of its own: the 32-bit viewer where this
# kernel can run 32-bit programs, else the 64-bit one. With no board attached it runs
# in demo mode: the demo message is answered as a user would (Enter), a screenshot of the viewer
# window is saved, and the viewer is closed (Alt+F4, then OK).
# With DISPLAY set the viewer shows on that display; otherwise a private Xvfb is started.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
if why=$("$root/scripts/wine/probe32"); then
  WINE_ARCH=32 tree=win prefix=wineprefix-run
  echo "Starting the 32-bit viewer (build/win/bin/KV.exe)."
else
  WINE_ARCH=64 tree=win64 prefix=wineprefix-run64
  echo "Starting the 64-bit viewer (build/win64/bin/KV.exe): 32-bit Wine cannot run here, $why."
fi
"$root/scripts/build.sh" "$tree" >/dev/null

WINE_PREFIX_DIR="$root/build/$prefix" WINE_DESKTOP=0
. "$root/scripts/wine-env.sh"
trap wine_env_cleanup EXIT

shot="$root/build/screenshots/kv-viewer.png"
mkdir -p "$(dirname "$shot")"
cd "$root/build/$tree/bin"
wine KV.exe >/dev/null 2>&1 </dev/null &
viewer=$!


main=""
for _ in $(seq 600); do
  main=$(xdotool search --name '^KV Viewer - \[.*\]$' 2>/dev/null | head -1 || true)
  [ -n "$main" ] && break
  box=$(xdotool search --name '^KV Viewer$' 2>/dev/null | head -1 || true)
  if [ -n "$box" ]; then    # the demo-mode message: press Enter for OK
    xdotool windowfocus --sync "$box" key Return 2>/dev/null || true
  fi
  kill -0 "$viewer" 2>/dev/null || { echo "KV Viewer ended before its window appeared" >&2; exit 1; }
  sleep 0.1
done
[ -n "$main" ] || { echo "KV Viewer's window did not appear" >&2; exit 1; }
sleep 1   # let it paint
eval "$(xdotool getwindowgeometry --shell "$main")"
# Acquire once (the green Acquire button, fifth on the toolbar), as a user would on a first start,
# so that the picture shows the demo signals.
xdotool mousemove --window "$main" 175 20 click 1 2>/dev/null || true
xdotool mousemove --window "$main" "$((WIDTH + 20))" "$((HEIGHT + 20))" 2>/dev/null || true   # no tooltip
sleep 1.5
xwd -root -silent | convert xwd:- -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "png:$shot"
echo "Screenshot: $shot"

# Close it as a user would: Alt+F4, then OK on the question.
xdotool windowfocus --sync "$main" key alt+F4 2>/dev/null || true
for _ in $(seq 100); do
  kill -0 "$viewer" 2>/dev/null || break
  box=$(xdotool search --name '^KV Viewer$' 2>/dev/null | head -1 || true)
  [ -n "$box" ] && xdotool windowfocus --sync "$box" key Return 2>/dev/null || true
  sleep 0.2
done
if kill -0 "$viewer" 2>/dev/null; then
  echo "KV Viewer did not close" >&2
  exit 1
fi
echo "KV Viewer closed."
