#!/usr/bin/env bash
# The programs on 64-bit Windows 10, under Wine in a private WINEARCH=win64
# prefix: the 64-bit program runs the unattended update itself; the 32-bit
# program beside it hands over and ends the same; the 32-bit program alone
# refuses Update and leaves the monitor in place.
#
#   wow64_suite.sh ROOT QVRSETUP32_EXE QVRSETUP64_EXE SIDE_TOOL_EXE
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$1
exe32=$2
exe64=$3
tool=$4
unset DISPLAY WAYLAND_DISPLAY || true
. "$here/../../tools/wine-env.sh"
use_wine_arch win64
sample=$here/../../packages/sample

passed=0
failed=0
check() {  # check NAME CONDITION...
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "ok      $name"
  else
    failed=$((failed + 1))
    echo "FAILED  $name"
  fi
}

stop_wine() {
  wineserver -k 2>/dev/null || true
  timeout 30 wineserver -w 2>/dev/null || true
}

template=$root/template
# Made again when this script has changed since, so that the machine is
# what the script says.
if [ ! -f "$template/system.reg" ] || [ "$0" -nt "$template/system.reg" ]; then
  rm -rf "$template"
  mkdir -p "$root"
  export WINEPREFIX=$template
  timeout 300 "$WINE" wineboot.exe -i >/dev/null 2>&1
  timeout 60 "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  set_windows_version 10
  cp "$here/machine.reg" "$template/drive_c/machine.reg"
  timeout 60 "$WINE" reg import 'C:\machine.reg' >/dev/null 2>&1
  timeout 60 wineserver -w
fi

# run_case NAME PROGRAMS... : a fresh machine, the package with the given
# programs (file=name pairs), and the unattended update. Sets $log, $status,
# $pkg and $prefix.
run_case() {
  local name=$1
  shift
  prefix=$root/run-$name
  export WINEPREFIX=$prefix
  [ -d "$prefix" ] && stop_wine
  rm -rf "$prefix"
  cp -a "$template" "$prefix"
  pkg=$prefix/drive_c/pkg
  mkdir -p "$pkg"
  cp "$sample/setup.inf" "$sample/qvrmon.dll" "$pkg/"
  cp "$tool" "$pkg/KillLogoTestingWarnings.exe"
  cp "$sample/qvrmon.dll" "$prefix/drive_c/windows/system32/qvrmon.dll"
  local pair
  for pair in "$@"; do cp "${pair%%=*}" "$pkg/${pair#*=}"; done
  timeout 60 "$WINE" net start spooler >/dev/null 2>&1
  status=0
  (cd "$pkg" && timeout 180 "$WINE" qvrsetup.exe setup.inf "QVR 3417" SILENT) || status=$?
  spooler=$(timeout 30 "$WINE" sc query spooler 2>/dev/null | tr -d '\r' | grep -o 'RUNNING' || true)
  log=$(tr -d '\r' <"$pkg/QVR_Download.txt" 2>/dev/null || echo "<no log>")
  stop_wine
}

updated_log() {
  printf '%s\n' "$log" | head -n 8 | diff -u - <(printf '%s\n' 'C:\pkg' 'C:\pkg\setup.inf' \
    Kalbrix_ABQVR34170B7C qvrmon.dll 'C:\pkg\qvrmon.dll' 'C:\pkg\bak' \
    'C:\windows\system32\qvrmon.dll' 'Stop Spooler') >/dev/null &&
    [[ $log == *$'Delete Language Monitor\nStart Spooler\n'* ]] &&
    [[ $log == *$'Update Driver\nDriver update completed.' ]]
}

# The 64-bit program on its own.
run_case x64 "$exe64=qvrsetup.exe"
check "64-bit: whole update in the log" updated_log
check "64-bit: exit status 0" test "$status" -eq 0
check "64-bit: monitor backed up" test -f "$pkg/bak/qvrmon.dll"
check "64-bit: monitor gone from the 64-bit system32" test ! -e "$prefix/drive_c/windows/system32/qvrmon.dll"
check "64-bit: spooler running again" test "$spooler" = RUNNING
log64=$log
status64=$status

# The rest needs the 32-bit program. Where the machine cannot run it, the
# suite ends as skipped, unless the 64-bit checks failed.
if ! runs_32bit_code; then
  rm -rf "$root"/run-*
  echo "wow64: $passed passed, $failed failed"
  [ "$failed" -eq 0 ] || exit 1
  skip_without_32bit_code
fi

# The 32-bit program with the 64-bit one beside it hands over.
run_case handover "$exe32=qvrsetup.exe" "$exe64=qvrsetup64.exe"
check "hand-over: the same log as the 64-bit program's" test "$log" = "$log64"
check "hand-over: the same exit status" test "$status" -eq "$status64"
check "hand-over: monitor gone from the 64-bit system32" test ! -e "$prefix/drive_c/windows/system32/qvrmon.dll"

# The 32-bit program alone refuses Update.
run_case alone "$exe32=qvrsetup.exe"
check "32-bit alone: fixed refusal in the log" test "$log" = "The 32-bit setup can't update drivers on 64-bit Windows!"
check "32-bit alone: exit status 1" test "$status" -eq 1
check "32-bit alone: monitor left in place" test -f "$prefix/drive_c/windows/system32/qvrmon.dll"
check "32-bit alone: no backup" test ! -e "$pkg/bak"

rm -rf "$root"/run-*
echo "wow64: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
