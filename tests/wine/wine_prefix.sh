#!/bin/sh
# Runs the end-to-end cases under Wine, each in a Wine prefix of its own.
#
#   wine_prefix.sh prepare ROOT
#       Makes the template prefix ROOT/template: of the kind in WINEARCH
#       (win32 unless set), Windows 10, no Mono or Gecko, Wine's null
#       graphics driver (no X server needed).
#   wine_prefix.sh run ROOT CASE QVRSETUP_EXE QVR_E2E_EXE [OPTION]...
#       Copies the template to a fresh prefix, puts both programs into
#       C:\qvr, and runs case CASE of qvr_e2e.exe with its scratch folder
#       in C:\pkg. Exits with the case's result. The copy is removed after.
#       The options make the machine the case expects, before it starts:
#         --program FILE   copies FILE into C:\qvr too, for the case to use
#         --registry FILE  imports the registry file FILE (printers, driver
#                          records); may be given more than once
#         --spooler        starts the print spooler (net start spooler),
#                          after the imports
#         --newdev FILE    puts FILE into the prefix's system32 as newdev.dll
#                          and has Wine load it instead of its own
#                          (WINEDLLOVERRIDES newdev=n)
#         --symlink LINK TARGET
#                          makes LINK a Unix symbolic link to TARGET, both
#                          paths below drive C (C:\LINK), before the case
#         --dll-overrides LIST
#                          adds LIST to WINEDLLOVERRIDES for the case only
#         --then CASE2     when CASE passes, ends every process of the prefix
#                          (wineserver -k, as a machine that restarts) and
#                          runs CASE2 on what they left
#         --windows VERSION
#                          makes the machine Windows 7 or 11 instead of 10
#       The case finds the Windows it runs on named in QVR_WINDOWS.
#         --lang LOCALE    runs the case with LANG=LOCALE (say de_DE.UTF-8),
#                          which Wine makes the user's UI language and the
#                          code pages; the locales come from ROOT/locales
#         --wine-trace     sends the case's Wine debug output, its own and
#                          that of the programs it starts, to
#                          C:\qvr\wine_trace.txt, which the case finds in
#                          QVR_WINE_TRACE; shown after the case
set -eu

unset DISPLAY WAYLAND_DISPLAY || true
. "$(dirname "$0")/../../tools/wine-env.sh"
use_wine_arch "${WINEARCH:-win32}"

# Bounds for the Wine commands, so that no step can hang a test run.
BOOT_TIMEOUT=240
CASE_TIMEOUT=120

die() {
  echo "wine_prefix.sh: $*" >&2
  exit 2
}

now_ms() { date +%s%3N; }

# Ends the prefix's server and every Wine process in it, and waits for that.
# (Plain -k: with -k9 the server dies alone and leaves services.exe,
# explorer.exe and the others of the prefix running.)
stop_server() {
  wineserver -k 2>/dev/null || true
  timeout 30 wineserver -w 2>/dev/null || true
  # Anything still running with this prefix was started by this script.
  # (grep runs without WINEPREFIX, so that it doesn't find itself.)
  leftovers=
  for environ in $(env -u WINEPREFIX grep -lzx "WINEPREFIX=$WINEPREFIX" /proc/[0-9]*/environ \
    2>/dev/null); do
    pid=${environ#/proc/}
    leftovers="$leftovers ${pid%/environ}"
  done
  if [ -n "$leftovers" ]; then
    echo "wine_prefix.sh: ending processes left in $WINEPREFIX:$leftovers" >&2
    # shellcheck disable=SC2086
    kill -9 $leftovers 2>/dev/null || true
  fi
}

# The locales of the language cases, compiled into ROOT/locales (LOCPATH),
# as the machine may have none of them installed. Kept from run to run.
LOCALES="de_DE fr_FR es_ES it_IT ja_JP zh_CN sv_SE"
make_locales() {
  for locale in $LOCALES; do
    [ -f "$1/$locale.UTF-8/LC_CTYPE" ] && continue
    localedef -i "$locale" -f UTF-8 "$1/$locale.UTF-8" >/dev/null 2>&1 ||
      [ -f "$1/$locale.UTF-8/LC_CTYPE" ] || return 1
  done
}

prepare() {
  root=$1
  template=$root/template
  export WINEPREFIX="$template"
  if [ -d "$template" ]; then stop_server; fi
  rm -rf "$template"
  mkdir -p "$root/locales"
  start=$(now_ms)
  make_locales "$root/locales" &
  locales=$!
  timeout "$BOOT_TIMEOUT" "$WINE" wineboot.exe -i >/dev/null 2>&1 || die "wineboot -i failed in $template"
  wait "$locales" || die "could not compile the locales $LOCALES into $root/locales"
  timeout 60 "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 ||
    die "could not select the null graphics driver"
  set_windows_version 10 || die "could not make $template Windows 10"
  # The server writes the registry to disk when it ends; the copies must
  # start from the finished files.
  timeout 60 wineserver -w || die "the template's wineserver did not end"
  grep -q '"Graphics"="null"' "$template/user.reg" || die "null driver not in $template/user.reg"
  echo "template prefix ready in $(($(now_ms) - start)) ms: $template"
}

# Starts the print spooler, trying again when net fails before the
# service has run (seen once in many runs under Wine); says so when it did.
start_spooler() {
  for attempt in 1 2 3; do
    if output=$(timeout 60 "$WINE" net start spooler 2>&1); then
      [ "$attempt" -eq 1 ] || echo "wine_prefix.sh: the spooler started at attempt $attempt" >&2
      return 0
    fi
    if timeout 30 "$WINE" sc query spooler 2>/dev/null | grep -q RUNNING; then
      echo "wine_prefix.sh: net start spooler failed, yet the spooler runs" >&2
      return 0
    fi
    sleep 1
  done
  printf '%s\n' "$output" | tr -d '\r' >&2
  return 1
}

run() {
  root=$1
  case_name=$2
  setup_exe=$3
  e2e_exe=$4
  shift 4
  # Newline-separated lists, so that file names with blanks survive.
  programs=
  registry_files=
  start_spooler=no
  newdev=
  symlinks=
  case_overrides=
  then_case=
  windows=10
  wine_trace=no
  lang=
  while [ $# -gt 0 ]; do
    case $1 in
      --lang)
        [ $# -ge 2 ] || die "$1 needs a locale"
        [ -d "$root/locales/$2" ] || die "$1 $2: not among the locales $LOCALES"
        lang=$2
        shift 2
        ;;
      --wine-trace)
        wine_trace=yes
        shift
        ;;
      --windows)
        [ $# -ge 2 ] || die "$1 needs a version"
        case $2 in 7 | 10 | 11) windows=$2 ;; *) die "$1 $2: not 7, 10 or 11" ;; esac
        shift 2
        ;;
      --symlink)
        [ $# -ge 3 ] || die "$1 needs a link and a target"
        symlinks="$symlinks$2|$3
"
        shift 3
        ;;
      --dll-overrides)
        [ $# -ge 2 ] || die "$1 needs a list"
        case_overrides=$2
        shift 2
        ;;
      --program | --registry)
        [ $# -ge 2 ] || die "$1 needs a file"
        [ -f "$2" ] || die "$1 $2: no such file"
        if [ "$1" = --program ]; then
          programs="$programs$2
"
        else
          registry_files="$registry_files$2
"
        fi
        shift 2
        ;;
      --spooler)
        start_spooler=yes
        shift
        ;;
      --then)
        [ $# -ge 2 ] || die "$1 needs a case"
        then_case=$2
        shift 2
        ;;
      --newdev)
        [ $# -ge 2 ] || die "$1 needs a file"
        [ -f "$2" ] || die "$1 $2: no such file"
        newdev=$2
        shift 2
        ;;
      *) die "unknown option $1" ;;
    esac
  done
  template=$root/template
  [ -f "$template/system.reg" ] || die "no template prefix in $root (run prepare first)"
  prefix=$root/run-$case_name
  [ "$windows" = 10 ] || prefix=$prefix.win$windows
  export WINEPREFIX="$prefix"

  t0=$(now_ms)
  if [ -d "$prefix" ]; then stop_server; fi
  rm -rf "$prefix"
  cp -a "$template" "$prefix"
  trap 'stop_server; rm -rf "$prefix"' EXIT
  mkdir -p "$prefix/drive_c/qvr" "$prefix/drive_c/pkg"
  cp "$setup_exe" "$prefix/drive_c/qvr/qvrsetup.exe"
  cp "$e2e_exe" "$prefix/drive_c/qvr/qvr_e2e.exe"
  while IFS= read -r program; do
    [ -z "$program" ] || cp "$program" "$prefix/drive_c/qvr/"
  done <<LIST
$programs
LIST
  if [ -n "$newdev" ]; then
    cp "$newdev" "$prefix/drive_c/windows/system32/newdev.dll"
    export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;newdev=n"
  fi
  t1=$(now_ms)

  # Start the prefix once before the case: the server, services.exe and the
  # device manager come up on the first process, which costs most of a
  # second. A persistent server keeps them for the case itself.
  # Listing the cases also catches a name that selects none, which GoogleTest
  # would count as passed. A row of a table is named by its own name: it
  # lists as TEST/ROW, followed by its parameter.
  # Wine's first start in a fresh copy has been seen to fail once in a few
  # hundred runs before the test program ran at all; a second try tells that
  # apart from a prefix that can't start it.
  wineserver -p
  list_cases() { timeout 60 "$WINE" 'C:\qvr\qvr_e2e.exe' --gtest_list_tests 2>"$prefix/list.err"; }
  cases=$(list_cases) || cases=$(list_cases) ||
    die "Wine could not start qvr_e2e.exe in $prefix: $(tail -n 3 "$prefix/list.err" | tr '\n' ' ')"
  printf '%s\n' "$cases" | tr -d '\r' | grep -Eq "^  ([A-Za-z0-9_]+/)?$case_name( |\$)" ||
    die "qvr_e2e.exe has no case $case_name"
  t2=$(now_ms)

  # The machine the case finds. Wine's winspool lists the printers of the
  # registry as they stand: without CUPS it adds none and drops none.
  count=0
  while IFS= read -r file; do
    [ -n "$file" ] || continue
    count=$((count + 1))
    cp "$file" "$prefix/drive_c/qvr/import-$count.reg"
    timeout 60 "$WINE" reg import "C:\\qvr\\import-$count.reg" >/dev/null 2>&1 ||
      die "could not import $file into $prefix"
  done <<LIST
$registry_files
LIST
  if [ "$windows" != 10 ]; then
    set_windows_version "$windows" || die "could not make $prefix Windows $windows"
  fi
  if [ "$start_spooler" = yes ]; then
    start_spooler || die "net start spooler failed in $prefix"
  fi
  while IFS='|' read -r link target; do
    [ -n "$link" ] || continue
    mkdir -p "$prefix/drive_c/$target" "$(dirname "$prefix/drive_c/$link")"
    ln -s "$prefix/drive_c/$target" "$prefix/drive_c/$link"
  done <<LIST
$symlinks
LIST
  t3=$(now_ms)

  overrides=$WINEDLLOVERRIDES
  [ -z "$case_overrides" ] || overrides="$overrides;$case_overrides"
  status=0
  # run_case FILTER: the cases of qvr_e2e.exe that FILTER names.
  run_case() (
    if [ -n "$lang" ]; then export LANG="$lang" LC_ALL="$lang" LOCPATH="$root/locales"; fi
    WINEDLLOVERRIDES=$overrides QVR_EXE='C:\qvr\qvrsetup.exe' QVR_WORKDIR='C:\pkg' \
      QVR_WINDOWS=$windows timeout -k 5 "$CASE_TIMEOUT" "$WINE" 'C:\qvr\qvr_e2e.exe' \
      --gtest_filter="$1" --gtest_color=no
  )
  if [ "$wine_trace" = yes ]; then
    trace=$prefix/drive_c/qvr/wine_trace.txt
    export QVR_WINE_TRACE='C:\qvr\wine_trace.txt'
    run_case "*.$case_name:*/$case_name" 2>"$trace" || status=$?
    echo "wine_prefix.sh: the case's Wine debug output:" >&2
    cat "$trace" >&2
  else
    run_case "*.$case_name:*/$case_name" || status=$?
  fi
  if [ "$status" -eq 0 ] && [ -n "$then_case" ]; then
    # The machine restarts: every process of the prefix ends at once, and
    # the next case finds what they left.
    stop_server
    run_case "*.$then_case" || status=$?
  fi
  t4=$(now_ms)
  if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
    echo "wine_prefix.sh: $case_name did not finish within ${CASE_TIMEOUT} s" >&2
  fi
  stop_server
  rm -rf "$prefix"
  trap - EXIT
  t5=$(now_ms)
  echo "times (ms): copy $((t1 - t0)), wine start $((t2 - t1)), machine setup $((t3 - t2))," \
    "case $((t4 - t3)), clean-up $((t5 - t4))"
  exit "$status"
}

if [ "$WINEARCH" = win32 ]; then skip_without_32bit_code; fi

usage="usage: $0 prepare ROOT | run ROOT CASE QVRSETUP_EXE QVR_E2E_EXE [OPTION]..."
[ $# -ge 1 ] || die "$usage"
command=$1
shift
case $command in
  prepare) [ $# -eq 1 ] || die "$usage"; prepare "$@" ;;
  run) [ $# -ge 4 ] || die "$usage"; run "$@" ;;
  *) die "unknown command $command" ;;
esac
