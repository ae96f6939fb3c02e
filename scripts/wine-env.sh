# Sourced: a Wine prefix of the project's own, an X display, a persistent warmed wineserver.
#   WINE_PREFIX_DIR  the prefix folder (required; one per architecture)
#   WINE_ARCH        "32" (default) or "64": the prefix's architecture and the loader that starts
#                    its programs (the project's wrappers in scripts/wine come first on PATH)
#   WINE_DESKTOP     "1": windows open in one virtual desktop (fast dialog closing on a bare X server)
_wine_tools="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine"
case "${WINE_ARCH:-32}" in
  64) export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64 ;;
  *)  export WINEARCH=win32 WINELOADER=/usr/lib/wine/wine ;;
esac
export PATH="$_wine_tools:$PATH"
export WINEPREFIX="$WINE_PREFIX_DIR" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
XVFB_PID=""
if [ -z "${DISPLAY:-}" ]; then
  _f=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$_f" >/dev/null 2>&1 </dev/null &
  XVFB_PID=$!
  for _i in $(seq 200); do [ -s "$_f" ] && break; sleep 0.05; done
  export DISPLAY=":$(cat "$_f")"
  rm -f "$_f"
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 </dev/null
  if [ "${WINE_DESKTOP:-0}" = 1 ]; then
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1280x1024 /f >/dev/null 2>&1
  fi
  # Wine finds its own fonts only once they are in the prefix.
  cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  wineserver -w
fi
# Chinese texts: Wine's own fonts have no CJK glyphs, so the usual UI faces link to WenQuanYi
# (Debian's fonts-wqy-microhei), as Windows links them to its CJK fonts.
if [ ! -f "$WINEPREFIX/.kv-fontlink" ]; then
  for _face in "Tahoma" "Tahoma Bold" "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif"; do
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v "$_face" \
      /t REG_MULTI_SZ /d "wqy-microhei.ttc,WenQuanYi Micro Hei" /f >/dev/null 2>&1
  done
  wineserver -w
  touch "$WINEPREFIX/.kv-fontlink"
fi
wineserver -p >/dev/null 2>&1 </dev/null || true
wine wineboot >/dev/null 2>&1 </dev/null || true

wine_env_cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
}
