#!/usr/bin/env bash
# The demo: a stand-in Windows machine under Wine with an installed QVR
# printer, its driver record, its language monitor in system32 and the
# spooler running; the bundled sample package on drive C; and qvrsetup.exe
# run on it the way an installation script runs it.
#
#   tools/demo.sh update    the unattended update (the default)
#   tools/demo.sh install   the unattended Install for a printer of another make
#
# The machine is made once under build/demo and copied afresh for every run,
# so each run starts from the same state and prints the same.
#
# It runs the 32-bit build, the one that scripts call. On a machine that
# runs no 32-bit code it runs the 64-bit build (qvrsetup64.exe) on a 64-bit
# machine instead; the output says so.
set -euo pipefail
cd "$(dirname "$0")/.."

what=${1:-update}
unset DISPLAY WAYLAND_DISPLAY || true
. tools/wine-env.sh
use_runnable_build
build=$BUILD program=qvrsetup.exe
if [ "$WINEARCH" = win64 ]; then program=qvrsetup64.exe; fi
root=build/demo/$WINEARCH
machine=$root/machine
prefix=$root/run
tool=$build/KillLogoTestingWarnings.exe

stop_wine() {
  WINEPREFIX=$1 wineserver -k 2>/dev/null || true
  WINEPREFIX=$1 timeout 30 wineserver -w 2>/dev/null || true
}

if [ ! -f "$machine/system.reg" ] || [ packages/sample/machine.reg -nt "$machine/system.reg" ] ||
  [ "$0" -nt "$machine/system.reg" ]; then
  echo "Making the demo machine in $machine (once) ..."
  rm -rf "$machine"
  mkdir -p "$root"
  export WINEPREFIX=$PWD/$machine
  timeout 240 "$WINE" wineboot.exe -i >/dev/null 2>&1
  timeout 60 "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  set_windows_version 10
  cp packages/sample/machine.reg "$machine/drive_c/machine.reg"
  timeout 60 "$WINE" reg import 'C:\machine.reg' >/dev/null 2>&1
  cp packages/sample/qvrmon.dll "$machine/drive_c/windows/system32/qvrmon.dll"
  timeout 60 wineserver -w
fi

stop_wine "$PWD/$prefix"
rm -rf "$prefix"
cp -a "$machine" "$prefix"
export WINEPREFIX=$PWD/$prefix
trap 'stop_wine "$WINEPREFIX"' EXIT
pkg=$prefix/drive_c/pkg
mkdir -p "$pkg"
cp packages/sample/setup.inf packages/sample/qvrmon.dll "$pkg/"
cp "$build/qvrsetup.exe" "$pkg/$program"
cp "$tool" "$pkg/KillLogoTestingWarnings.exe"
timeout 60 "$WINE" net start spooler >/dev/null 2>&1

case $what in
  update) args=(setup.inf "QVR 3417" SILENT) shown='setup.inf "QVR 3417" SILENT' ;;
  install) args=(setup.inf "Tarnwell") shown='setup.inf "Tarnwell"' ;;
  *) echo "usage: $0 [update|install]" >&2; exit 2 ;;
esac

echo
if [ "$WINEARCH" = win64 ]; then
  echo "This machine runs no 32-bit code, so the demo runs the 64-bit build on 64-bit Windows."
fi
echo "Machine: printers \"QVR 3417 Front\" (driver 1.2.3.4) and \"Tarnwell LX 520\";"
echo "         C:\\windows\\system32\\qvrmon.dll present; spooler running."
echo "Package: C:\\pkg holds setup.inf, qvrmon.dll, $program, KillLogoTestingWarnings.exe."
echo
echo "C:\\pkg> $program $shown"
status=0
(cd "$pkg" && timeout 180 "$WINE" "$program" "${args[@]}") || status=$?
# Asked at once: when the last program ends, Wine ends its services too.
state=$(timeout 30 "$WINE" sc query spooler 2>/dev/null | tr -d '\r' | grep -o 'STATE.*' | tr -s ' ' || true)

echo
echo "---- QVR_Download.txt ----"
if [ -f "$pkg/QVR_Download.txt" ]; then
  tr -d '\r' <"$pkg/QVR_Download.txt"
  echo
  echo "---- end of log ($(wc -c <"$pkg/QVR_Download.txt") bytes) ----"
else
  echo "(no log)"
fi
echo "exit status: $status"
echo
echo "What changed:"
if [ "$what" = update ]; then
  if [ -f "$pkg/bak/qvrmon.dll" ]; then echo "  C:\\pkg\\bak\\qvrmon.dll: the backup is there"; else echo "  C:\\pkg\\bak\\qvrmon.dll: MISSING"; fi
  if [ -f "$prefix/drive_c/windows/system32/qvrmon.dll" ]; then echo "  C:\\windows\\system32\\qvrmon.dll: still there"; else echo "  C:\\windows\\system32\\qvrmon.dll: removed"; fi
  echo "  spooler: ${state:-unknown}"
  if [ -f "$pkg/side_tool_record.txt" ]; then
    echo "  KillLogoTestingWarnings.exe ran with the command line: $(cat "$pkg/side_tool_record.txt")"
  else
    echo "  KillLogoTestingWarnings.exe did not run"
  fi
else
  # Windows names the copy oem<N>.inf; Wine keeps the INF's own name.
  found=no
  for inf in "$prefix"/drive_c/windows/inf/*.inf; do
    if cmp -s "$inf" packages/sample/setup.inf; then
      echo "  C:\\windows\\inf\\$(basename "$inf"): the sample INF, now in the INF store"
      found=yes
    fi
  done
  [ "$found" = yes ] || echo "  the sample INF is NOT in the INF store"
fi
