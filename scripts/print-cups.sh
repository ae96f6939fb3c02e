#!/usr/bin/env bash
# Prints the demo capture through a real CUPS queue: starts CUPS on this machine with a PDF queue
# (cups-pdf), lets the viewer print to it under Wine (Wine's PostScript driver hands the job to
# CUPS), and turns the PDF into PNG pages. Usage: scripts/print-cups.sh [output folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/print-cups}
mkdir -p "$out"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

packages=(cups printer-driver-cups-pdf poppler-utils)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# CUPS on this machine only: no service manager is needed, the daemon runs in the background.
# A daemon this script starts is stopped again when it ends.
if ! lpstat -r 2>/dev/null | grep -q "is running"; then
  $sudo cupsd
  for _ in $(seq 50); do lpstat -r 2>/dev/null | grep -q "is running" && break; sleep 0.1; done
  pid=$(cat /run/cups/cupsd.pid 2>/dev/null || true)
  [ -n "$pid" ] && trap '$sudo kill "$pid" 2>/dev/null || true' EXIT
fi
queue=KVPDF
if ! lpstat -p "$queue" >/dev/null 2>&1; then
  ppd=$(ls /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd 2>/dev/null || ls /usr/share/ppd/cups-pdf/*.ppd | head -n1)
  $sudo lpadmin -p "$queue" -v cups-pdf:/ -P "$ppd" -E
fi
# cups-pdf writes into the folder its "Out" setting names (Debian: ${HOME}/PDF of the job's user).
spool=$(sed -n 's/^Out[[:space:]]*//p' /etc/cups/cups-pdf.conf | tail -n1 | sed "s#\${HOME}#$HOME#; s#\${USER}#$(id -un)#")
before=$(date +%s)

# The viewer prints the demo capture to the queue (the UI test that does so runs only when a
# queue is named).
[ -f "$root/build/win64/bin/ui_tests.exe" ] || "$root/scripts/build.sh" win64
(
  WINE_ARCH=64 WINE_PREFIX_DIR=$root/build/wineprefix-cups WINE_DESKTOP=1
  . "$root/scripts/wine-env.sh"
  trap wine_env_cleanup EXIT
  cd "$root/build/win64/bin"
  KV_PRINT_QUEUE=$queue wine ui_tests.exe --gtest_filter='PrintTest.PrintsThroughTheNamedQueue'
)

# cups-pdf writes the PDF when the job has gone through its filters.
pdf=""
for _ in $(seq 300); do
  pdf=$(find ${spool:+"$spool"} "$HOME/PDF" /var/spool/cups-pdf -name '*.pdf' -newermt "@$before" 2>/dev/null | head -n1 || true)
  [ -n "$pdf" ] && break
  sleep 0.2
done
if [ -z "$pdf" ]; then
  echo "no PDF arrived from the queue; CUPS said:" >&2
  lpstat -W completed -o "$queue" >&2 || true
  tail -n 20 /var/log/cups/error_log >&2 || true
  exit 1
fi
sleep 1
cp "$pdf" "$out/printed.pdf"
pdftoppm -png -r 60 "$out/printed.pdf" "$out/printed-page"
ls -1 "$out"/printed-page*.png
