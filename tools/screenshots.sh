#!/usr/bin/env bash
# The README's pictures: the real qvrsetup.exe under Wine on a private X
# server (Xvfb), on the demo's stand-in machine with the sample package,
# driven by build/win32/screenshot_driver.exe (tests/wine/screenshot_driver.cpp).
# The driver prints "SNAP <name> <left> <top> <width> <height>" at each
# moment; this script then takes the window's picture into
# docs/screenshots/<name>.png and answers with C:\snaps\<name>.done.
#
#   tools/screenshots.sh [WIN32_BUILD]   (default build/win32; make screenshots
#                                         builds it first)
#
# The machine is made once under build/screenshots/machine and copied
# afresh for every run, as the Update changes it.
set -euo pipefail
shopt -s lastpipe
cd "$(dirname "$0")/.."

tools/install-deps.sh

root=build/screenshots
machine=$root/machine
prefix=$root/run
out=docs/screenshots
win32=${1:-build/win32}
display=:77
screen=1024x768x24

export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset WAYLAND_DISPLAY || true

die() {
  echo "screenshots: $*" >&2
  exit 1
}

for f in "$win32/qvrsetup.exe" "$win32/screenshot_driver.exe" "$win32/KillLogoTestingWarnings.exe"; do
  [ -f "$f" ] || die "missing $f (run make win32 first)"
done
for tool in Xvfb import wine wineserver; do
  command -v "$tool" >/dev/null || die "$tool is not installed"
done
. tools/wine-env.sh
runs_32bit_code || die "this machine runs no 32-bit code, and the pictures are of the 32-bit program"

xvfb_pid=
stop_wine() {
  [ -d "$1" ] || return 0
  WINEPREFIX=$1 wineserver -k 2>/dev/null || true
  WINEPREFIX=$1 timeout 30 wineserver -w 2>/dev/null || true
}
cleanup() {
  stop_wine "$PWD/$prefix"
  stop_wine "$PWD/$machine"
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$xvfb_pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# ---------------------------------------------------------------- X server
[ -e "/tmp/.X11-unix/X${display#:}" ] && die "display $display is taken (/tmp/.X11-unix/X${display#:})"
mkdir -p "$root"
# -wr: a white root rather than X's weave, should it show anywhere.
Xvfb "$display" -screen 0 "$screen" -nolisten tcp -wr >"$root/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -S "/tmp/.X11-unix/X${display#:}" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || die "Xvfb ended at once: $(cat "$root/xvfb.log")"
  sleep 0.1
done
[ -S "/tmp/.X11-unix/X${display#:}" ] || die "Xvfb did not start within 10 s"
export DISPLAY=$display

# ---------------------------------------------------------------- machine
# The demo's machine (tools/demo.sh), with the X11 graphics driver: the
# printers and the driver record, the monitor in system32. The windows open
# in a Wine desktop as large as the screen at its top left corner, so Wine
# draws frames and captions itself (no window manager runs) and a window's
# screen coordinates are those of the X screen.
# Fonts: this Wine finds its own fonts (fonts-wine: Tahoma, which "MS Shell
# Dlg", the dialogs' font, stands for, and Marlett for the caption buttons) only
# in C:\windows\Fonts. Elsewhere it falls back on whatever fontconfig
# offers: other metrics, and the close button drawn as the letter "r".
# Japanese and Chinese glyphs come from fontconfig (fonts-wqy-microhei).
wine_fonts=/usr/share/wine/fonts
if [ ! -f "$machine/system.reg" ] || [ packages/sample/machine.reg -nt "$machine/system.reg" ] ||
  [ "$0" -nt "$machine/system.reg" ]; then
  echo "Making the machine in $machine (once) ..."
  stop_wine "$PWD/$machine"
  rm -rf "$machine"
  export WINEPREFIX=$PWD/$machine
  timeout 240 wineboot -i >/dev/null 2>&1 || die "wineboot -i failed in $machine"
  timeout 60 wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f >/dev/null 2>&1 ||
    die "could not select the X11 graphics driver"
  timeout 60 wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1 ||
    die "could not turn on the virtual desktop"
  timeout 60 wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "${screen%x*}" /f \
    >/dev/null 2>&1 || die "could not size the virtual desktop"
  cp packages/sample/machine.reg "$machine/drive_c/machine.reg"
  timeout 60 wine reg import 'C:\machine.reg' >/dev/null 2>&1 || die "could not import machine.reg"
  rm "$machine/drive_c/machine.reg"
  cp packages/sample/qvrmon.dll "$machine/drive_c/windows/system32/qvrmon.dll"
  [ -f "$wine_fonts/marlett.ttf" ] || die "no $wine_fonts/marlett.ttf (fonts-wine)"
  cp "$wine_fonts"/*.ttf "$wine_fonts"/*.fon "$machine/drive_c/windows/Fonts/"
  timeout 60 wineserver -w || die "the machine's wineserver did not end"
fi

stop_wine "$PWD/$prefix"
rm -rf "$prefix"
cp -a "$machine" "$prefix"
export WINEPREFIX=$PWD/$prefix
pkg=$prefix/drive_c/pkg
mkdir -p "$pkg" "$prefix/drive_c/empty" "$prefix/drive_c/snaps"
cp packages/sample/setup.inf packages/sample/qvrmon.dll "$win32/qvrsetup.exe" \
  "$win32/KillLogoTestingWarnings.exe" "$pkg/"
cp "$win32/screenshot_driver.exe" "$prefix/drive_c/screenshot_driver.exe"

# One server for the whole run, so that the spooler started here is still
# running when the driver starts qvrsetup.exe; cleanup ends it.
wineserver -p
timeout 60 wine net start spooler >/dev/null 2>&1 || die "the spooler did not start"

# ---------------------------------------------------------------- pictures
mkdir -p "$out"
snap() {
  local name=$1 x=$2 y=$3 w=$4 h=$5
  case $name in *[!A-Za-z0-9-]* | '') die "bad picture name '$name'" ;; esac
  # Exactly the window, frame and caption included, kept on the screen.
  local sw=${screen%%x*} rest=${screen#*x}
  local sh=${rest%%x*}
  ((x < 0)) && { w=$((w + x)); x=0; }
  ((y < 0)) && { h=$((h + y)); y=0; }
  ((x + w > sw)) && w=$((sw - x))
  ((y + h > sh)) && h=$((sh - y))
  ((w > 0 && h > 0)) || die "window of $name is off the screen"
  timeout 20 import -window root -crop "${w}x${h}+${x}+${y}" +repage -strip \
    -define png:exclude-chunks=date,time "png:$out/$name.png" ||
    die "import failed for $name"
  echo "  $out/$name.png (${w}x${h})"
  : >"$prefix/drive_c/snaps/$name.done"
}

# Runs the driver with its arguments, in the environment that driver_env
# adds, and takes each picture it asks for; status is its exit status.
driver_env=()
drive() {
  status=0
  timeout 300 env "${driver_env[@]}" wine 'C:\screenshot_driver.exe' "$@" 2>"$root/driver.log" |
    while IFS=$' \r' read -r word name x y w h; do
      case $word in
        SNAP) snap "$name" "$x" "$y" "$w" "$h"; taken=$((taken + 1)) ;;
        DONE) ;;
        *) echo "  driver: $word $name $x $y $w $h" ;;
      esac
    done || status=$?
  if [ -s "$root/driver.log" ]; then sed 's/^/  /' "$root/driver.log" >&2; fi
}

echo "Taking the pictures on $DISPLAY ..."
taken=0
drive 'C:\pkg\qvrsetup.exe' 'C:\pkg' 'C:\empty' 'C:\snaps'
[ "$status" -eq 0 ] || die "the driver failed (status $status); see above"
[ "$taken" -eq 4 ] || die "$taken pictures instead of 4"

# The same dialog in German and in Japanese: Wine takes the user's UI
# language from LANG, with locales compiled here, as the machine may have
# none of them installed.
locales=$root/locales
mkdir -p "$locales"
for lang in de_DE:05-german ja_JP:06-japanese; do
  locale=${lang%%:*}
  name=${lang#*:}
  [ -f "$locales/$locale.UTF-8/LC_CTYPE" ] || localedef -i "$locale" -f UTF-8 \
    "$locales/$locale.UTF-8" >/dev/null 2>&1 || [ -f "$locales/$locale.UTF-8/LC_CTYPE" ] ||
    die "could not compile the locale $locale.UTF-8"
  driver_env=(LANG="$locale.UTF-8" LC_ALL="$locale.UTF-8" LOCPATH="$PWD/$locales")
  drive --language "$name" 'C:\pkg\qvrsetup.exe' 'C:\pkg' 'C:\snaps'
  [ "$status" -eq 0 ] || die "the driver failed in $locale (status $status); see above"
done
[ "$taken" -eq 6 ] || die "$taken pictures instead of 6"
echo "Six pictures in $out."
