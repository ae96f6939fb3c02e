#!/usr/bin/env bash
# The Windows installer: built with NSIS from the 32-bit tree into build/installer/KV-Setup.exe (the
# product), and from the 64-bit tree into KV-Setup64.exe (the same script for 64-bit Windows), each
# with its contents checked by 7z on every machine. Each is then installed silently under Wine of its
# own architecture into a fresh prefix: files in place, the keys Setuvo writes, the ".kvw"
# association opening KV.exe with the file (a picture of the screen is kept), and the uninstaller
# removing the files. Where 32-bit programs cannot run, the 32-bit run is skipped with one line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
trees="${KV_BUILD_ROOT:-$root/build}"
out="$trees/installer"
mkdir -p "$out"
shipped=(KV.exe Halvex.dll Zentro.dll Nimbrel.exe OmbixInterface.exe Demo/Demo01.kvw Uninstall.exe)

# build_installer 32|64: makes the installer of one tree and checks what it holds.
build_installer() {
  local arch=$1 bin setup target=""
  if [ "$arch" = 64 ]; then
    bin="$trees/win64/bin" setup="$out/KV-Setup64.exe" target=amd64-unicode
  else
    bin="$trees/win/bin" setup="$out/KV-Setup.exe"
  fi
  echo "== installer ($arch-bit)"
  makensis -V2 -DBIN="$bin" -DDEMO="$root/viewer/res/demo/Demo01.kvw" -DOUTFILE="$setup" \
    ${target:+-DTARGET=$target} "$root/installer/kv.nsi"

  # Contents: every shipped file in its place, Setuvo.dll only for the installer's own use.
  local listing f
  listing=$(7z l -slt "$setup" | sed -n 's/^Path = //p')
  for f in "${shipped[@]}" '$PLUGINSDIR/Setuvo.dll'; do
    if ! grep -qxF "$f" <<<"$listing"; then
      echo "installer: $f missing from $setup" >&2
      exit 1
    fi
  done
  if grep -q 'Setuvo.dll' <<<"$(grep -v '^\$PLUGINSDIR/' <<<"$listing")"; then
    echo "installer: Setuvo.dll would be installed" >&2
    exit 1
  fi
  echo "installer contents checked ($(grep -c . <<<"$listing") entries)"
}

# run_installer 32|64: a silent installation into a fresh prefix of that architecture, a double-click
# on the shipped capture, and a silent uninstallation.
run_installer() {
  local arch=$1 setup prefix
  if [ "$arch" = 64 ]; then setup="$out/KV-Setup64.exe" prefix="$out/wineprefix64"
  else setup="$out/KV-Setup.exe" prefix="$out/wineprefix"; fi
  echo "== installer run under $arch-bit Wine (fresh prefix)"
  rm -rf "$prefix"
  (
    # No virtual desktop: the viewer's windows must be X windows that xdotool finds.
    WINE_ARCH=$arch WINE_PREFIX_DIR="$prefix"
    . "$root/scripts/wine-env.sh"
    trap wine_env_cleanup EXIT
    fail() { echo "installer run: $*" >&2; exit 1; }
    dir="$prefix/drive_c/KV"
    # The installer runs in the foreground; its silent mode shows nothing.
    wine "$setup" /S '/D=C:\KV' </dev/null
    for f in "${shipped[@]}"; do
      [ -f "$dir/$f" ] || fail "$f not installed"
    done
    [ ! -e "$dir/Setuvo.dll" ] || fail "Setuvo.dll installed"
    wine reg query 'HKLM\Software\Ombix\Inst' /v InstLang 2>/dev/null | grep -q REG_DWORD || fail "InstLang not written"
    wine reg query 'HKCR\.kvw' /ve 2>/dev/null | grep -q 'KV.Waveform' || fail ".kvw not associated"
    wine reg query 'HKCR\KV.Waveform\shell\open\command' /ve 2>/dev/null | grep -qi 'C:\\KV\\KV.exe' ||
      fail "the association does not open KV.exe"
    ls "$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/KV Viewer/"*.lnk >/dev/null 2>&1 ||
      fail "no Start menu entries"

    # A double-click on a capture: the shell starts KV.exe with the file, which it loads (its title
    # names the file). Without a board the viewer first says it runs in demo mode: OK, as a user would.
    wine start 'C:\KV\Demo\Demo01.kvw' </dev/null
    main=""
    for _ in $(seq 150); do
      main=$(xdotool search --name '^KV Viewer - \[.*Demo01.*\]$' 2>/dev/null | head -n 1 || true)
      [ -n "$main" ] && break
      box=$(xdotool search --name '^KV Viewer$' 2>/dev/null | head -n 1 || true)
      [ -n "$box" ] && { xdotool windowfocus --sync "$box" key Return 2>/dev/null || true; }
      sleep 0.2
    done
    [ -n "$main" ] || fail "KV.exe did not show Demo01.kvw"
    sleep 1
    import -window "$main" "$out/kvw-association$arch.png"
    echo "picture of the opened capture: $out/kvw-association$arch.png"
    wine taskkill /f /im KV.exe >/dev/null 2>&1 || true

    # The uninstaller hands over to a copy of itself and returns at once: wait for the files to go.
    wine 'C:\KV\Uninstall.exe' /S </dev/null
    for _ in $(seq 150); do
      [ -e "$dir/KV.exe" ] || [ -e "$dir/Uninstall.exe" ] || break
      sleep 0.2
    done
    for f in "${shipped[@]}"; do
      [ ! -e "$dir/$f" ] || fail "$f left after uninstalling"
    done
    if wine reg query 'HKCR\KV.Waveform' >/dev/null 2>&1; then fail "association left after uninstalling"; fi
    echo "installer run checked: installed, associated, uninstalled"
  )
}

build_installer 32
build_installer 64
run_installer 64
if why=$("$root/scripts/wine/probe32"); then
  run_installer 32
else
  echo "== installer run under 32-bit Wine skipped: $why"
fi
