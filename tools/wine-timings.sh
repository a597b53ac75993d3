#!/usr/bin/env bash
# Times the real program under Wine on the demo machine (tools/demo.sh makes
# it) and prints the figures:
#  - the dialog's initialisation on an INF of 10,000 models (started with a
#    printer name that matches nothing, so it ends right after initialising);
#  - an unattended Update and an unattended Install, with their CPU time;
#  - what finishing an interrupted Update adds to a run: the same run (a
#    printer name that matches nothing) without a journal, and with one
#    that a run killed in the driver update or in the pause left;
#  - a trivial Windows program in the same prefix, for the fixed Wine cost.
set -euo pipefail
cd "$(dirname "$0")/.."
unset DISPLAY WAYLAND_DISPLAY || true
# The build that the demo runs: the 32-bit one where this machine runs it.
. tools/wine-env.sh
use_runnable_build
build=$BUILD
echo "The $build program in a $WINEARCH prefix:"
machine=build/demo/$WINEARCH/machine
[ -f $machine/system.reg ] || tools/demo.sh install >/dev/null
prefix=$PWD/build/timings
export WINEPREFIX=$prefix

fresh() {
  wineserver -k 2>/dev/null || true
  timeout 30 wineserver -w 2>/dev/null || true
  rm -rf "$prefix"
  cp -a $machine "$prefix"
  pkg=$prefix/drive_c/pkg
  mkdir -p "$pkg"
  cp packages/sample/setup.inf packages/sample/qvrmon.dll $build/qvrsetup.exe "$pkg/"
  cp $build/KillLogoTestingWarnings.exe "$pkg/"
  timeout 60 "$WINE" net start spooler >/dev/null 2>&1
  # A warm start, so that the figures leave out the prefix's first process.
  (cd "$pkg" && timeout 60 "$WINE" KillLogoTestingWarnings.exe //NOLOGO)
}

# timed LABEL COMMAND... : prints wall and CPU seconds of one run (the
# program and the processes it waits for; not the Wine server).
timed() {
  local label=$1
  shift
  local out TIMEFORMAT='%R %U %S'
  out=$( { time "$@" >/dev/null 2>&1; } 2>&1 | tail -n 1)
  read -r wall user sys <<<"$out"
  cpu=$(echo "$user + $sys" | bc)
  printf '%-44s wall %6.2f s  cpu %5.2f s (%4.1f%% of wall)\n' "$label" "$wall" "$cpu" \
    "$(echo "100 * $cpu / $wall" | bc -l)"
  last_wall=$wall
}

fresh
python3 - "$pkg" <<'PY'
import sys
def write(path, shared):
    lines = ['[Version]', 'Signature="$Windows NT$"', 'Class=Printer',
             'DriverVer=06/01/2024,1.2.3.5', '[Manufacturer]', 'QVR', '[QVR]']
    section = lambda i: 'QVRS' if shared else 'QVR%d' % i
    lines += ['"QVR %d" = %s, LPTENUM\\Kalbrix_ABQVR%d, QVR %d' % (i, section(i), i, i)
              for i in range(10000)]
    for name in sorted({section(i) for i in range(10000)}):
        lines += ['[%s]' % name, 'DataSection=QVRDATA']
    lines += ['[QVRDATA]', 'LanguageMonitor="QVR Monitor,qvrmon.dll"']
    open(path, 'w', newline='\r\n').write('\n'.join(lines) + '\n')
write(sys.argv[1] + '/big.inf', False)
write(sys.argv[1] + '/shared.inf', True)
# The shape of a real package: a decorated Manufacturer line, 600 models
# over 10 install sections, each section holding its model's monitor.
lines = ['[Version]', 'Signature="$Windows NT$"', 'Class=Printer',
         'DriverVer=06/01/2024,1.2.3.5', '[Manufacturer]', 'QVR=QVR,NTx86,NTamd64']
for platform in ('NTx86', 'NTamd64'):
    lines += ['[QVR.%s]' % platform]
    lines += ['"QVR %d" = QVR_INST%d, LPTENUM\\Kalbrix_ABQVR%d, QVR %d' % (i, i % 10, i, i)
              for i in range(600)]
for s in range(10):
    lines += ['[QVR_INST%d]' % s, 'LanguageMonitor="QVR Monitor,qvrmon%d.dll"' % s]
open(sys.argv[1] + '/package600.inf', 'w', newline='\r\n').write('\n'.join(lines) + '\n')
PY
cd "$pkg"
timed "trivial program (fixed Wine cost)" "$WINE" KillLogoTestingWarnings.exe //NOLOGO
trivial=$last_wall
timed "dialog initialisation, 10,000 models" "$WINE" qvrsetup.exe big.inf Nothing
# Wine's Setup API finds a section by a linear search, so 10,000 install
# sections cost far more than 10,000 models that share one.
timed "  the same, one shared install section" "$WINE" qvrsetup.exe shared.inf Nothing
timed "dialog initialisation, sample INF (4 models)" "$WINE" qvrsetup.exe setup.inf Nothing
timed "dialog open, 600 models, 10 install sections" "$WINE" qvrsetup.exe package600.inf Nothing
echo "  beyond the trivial program: $(echo "$last_wall - $trivial" | bc) s"
cd - >/dev/null

fresh
cd "$pkg"
timed "unattended Update (includes the 3 s pause)" "$WINE" qvrsetup.exe setup.inf "QVR 3417" SILENT
echo "  overhead beyond the trivial program and the 3 s pause: $(echo "$last_wall - $trivial - 3" | bc) s"
cd - >/dev/null

fresh
cd "$pkg"
timed "unattended Install" "$WINE" qvrsetup.exe setup.inf Tarnwell
echo "  overhead beyond the trivial program: $(echo "$last_wall - $trivial" | bc) s"
cd - >/dev/null

# plant STEP: the journal that a run killed at STEP leaves, with the monitor
# in the package's bak, and for "Monitor removed" gone from system32.
plant() {
  local key='HKLM\SOFTWARE\QVR\Driver Setup\Pending Update'
  mkdir -p "$pkg/bak"
  cp "$prefix/drive_c/windows/system32/qvrmon.dll" "$pkg/bak/qvrmon.dll"
  timeout 60 "$WINE" reg add "$key" /v Monitor /d qvrmon.dll /f >/dev/null 2>&1
  timeout 60 "$WINE" reg add "$key" /v "Installed Monitor" /d 'C:\windows\system32\qvrmon.dll' \
    /f >/dev/null 2>&1
  timeout 60 "$WINE" reg add "$key" /v Backup /d 'C:\pkg\bak\qvrmon.dll' /f >/dev/null 2>&1
  timeout 60 "$WINE" reg add "$key" /v Step /d "$1" /f >/dev/null 2>&1
  if [ "$1" = "Monitor removed" ]; then
    rm -f "$prefix/drive_c/windows/system32/qvrmon.dll"
  else
    timeout 60 "$WINE" net stop spooler >/dev/null 2>&1
  fi
}

# finished: the journal gone, the monitor back, the spooler running.
finished() {
  ! timeout 60 "$WINE" reg query 'HKLM\SOFTWARE\QVR\Driver Setup\Pending Update' >/dev/null 2>&1 &&
    [ -f "$prefix/drive_c/windows/system32/qvrmon.dll" ] &&
    timeout 60 "$WINE" sc query spooler 2>/dev/null | grep -q RUNNING
}

# Each figure is the mean of five runs.
fresh
cd "$pkg"
mean() { echo "scale=3; ($1) / 5" | bc; }
total=0
for i in 1 2 3 4 5; do
  timed "a run with nothing to do, no journal ($i)" "$WINE" qvrsetup.exe setup.inf Nothing >/dev/null
  total="$total + $last_wall"
done
plain=$(mean "$total")
echo "a run with nothing to do, no journal: mean wall $plain s"
for step in "Monitor removed" "Spooler stopped"; do
  total=0
  for i in 1 2 3 4 5; do
    plant "$step"
    timed "x" "$WINE" qvrsetup.exe setup.inf Nothing >/dev/null
    total="$total + $last_wall"
    finished || echo "  (run $i did not finish the journal)"
  done
  with=$(mean "$total")
  echo "  with a journal at \"$step\": mean wall $with s; the recovery adds $(echo "$with - $plain" | bc) s"
done
cd - >/dev/null

wineserver -k 2>/dev/null || true
timeout 30 wineserver -w 2>/dev/null || true
rm -rf "$prefix"
