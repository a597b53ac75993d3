# Sourced by every script that runs Wine.
#
# use_wine_arch ARCH exports WINEARCH=ARCH (win32 or win64), quiet Wine
# debug output unless WINEDEBUG says otherwise, and no Mono or Gecko, and
# sets WINE to the loader that suits that kind of prefix. Debian's `wine`
# command always takes the 32-bit loader when wine32 is installed, and a
# kernel without IA-32 emulation refuses to execute that loader at all
# (execve gives ENOEXEC). A win64 prefix needs only the 64-bit loader, so
# there WINE names it directly; WINELOADER lets it hand 32-bit programs to
# its 32-bit partner wherever the kernel runs them.
#
# Call "$WINE" where a script would call wine, and "$WINE" wineboot.exe
# where it would call wineboot. wineserver needs no such care.

WINE_LOADER_DIR=${WINE_LOADER_DIR:-/usr/lib/wine}

use_wine_arch() {
  export WINEARCH="$1"
  export WINEDEBUG="${WINEDEBUG:--all}"
  # Empty overrides disable the two, so wineboot asks for neither download.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  if [ "$1" = win64 ]; then
    WINE=$WINE_LOADER_DIR/wine64
    export WINELOADER="$WINE"
  else
    WINE=wine
    unset WINELOADER
  fi
}

# use_runnable_build picks the 32-bit build where this machine runs 32-bit
# code and the 64-bit one elsewhere, sets BUILD to its folder and calls
# use_wine_arch to match.
use_runnable_build() {
  if runs_32bit_code; then
    BUILD=build/win32
    use_wine_arch win32
  else
    BUILD=build/win64
    use_wine_arch win64
  fi
}

# CTest counts a test that exits with this status as skipped.
SKIPPED=77

# True when this machine runs 32-bit programs under Wine.
runs_32bit_code() {
  "$WINE_LOADER_DIR/wine" --version >/dev/null 2>&1
}

# Ends the calling test as skipped, with the reason, where this machine
# cannot run 32-bit programs.
skip_without_32bit_code() {
  if ! runs_32bit_code; then
    echo "SKIPPED: this machine runs no 32-bit code ($WINE_LOADER_DIR/wine does not start;" \
      "the kernel has no IA-32 emulation), so the 32-bit program cannot run here." >&2
    exit "$SKIPPED"
  fi
}

# set_windows_version VERSION makes the prefix in WINEPREFIX tell its
# programs that it is Windows VERSION: 7, 10 or 11. Wine has no setting of
# its own for Windows 11, which is Windows 10 with a build number of 22000
# or more; the number goes into both registry views of the CurrentVersion
# key, since each process reads the view of its own kind. Needs a running
# or startable prefix; the caller waits for the server to write the
# registry to disk where that matters (wineserver -w).
WINDOWS_11_BUILD=22631
set_windows_version() {
  case $1 in
    7) timeout 60 "$WINE" winecfg /v win7 >/dev/null 2>&1 ;;
    10) timeout 60 "$WINE" winecfg /v win10 >/dev/null 2>&1 ;;
    11)
      set_windows_version 10 || return 1
      if [ "$WINEARCH" = win64 ]; then
        set_build_number /reg:64 && set_build_number /reg:32
      else
        set_build_number
      fi
      ;;
    *) return 1 ;;
  esac
}

# set_build_number [VIEW] writes the Windows 11 build number into one view.
set_build_number() {
  for value in CurrentBuild CurrentBuildNumber; do
    timeout 60 "$WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v "$value" \
      /d "$WINDOWS_11_BUILD" /f "$@" >/dev/null 2>&1 || return 1
  done
}
