#!/bin/sh
# The INF conformance check: the real Setup API and our simulated one must
# answer the INF reader's calls alike.
#
#   inf_conformance.sh ROOT INF_DUMP_EXE NATIVE_INF_DUMP CORPUS
#
# Runs inf_dump.exe under Wine, in a copy of the template prefix
# ROOT/template (wine_prefix.sh prepare), and the native qvr_inf_dump over
# every CORPUS/*.inf and one INF that does not exist. Wine's dump, with the
# differences named in the table below put the Windows way, must equal the
# native dump line for line. A table entry that no longer matches fails the
# check too, so that the table cannot go stale.
set -eu

unset DISPLAY WAYLAND_DISPLAY || true
. "$(dirname "$0")/../../tools/wine-env.sh"
use_wine_arch "${WINEARCH:-win32}"
if [ "$WINEARCH" = win32 ]; then skip_without_32bit_code; fi

die() {
  echo "inf_conformance.sh: $*" >&2
  exit 2
}

[ $# -eq 4 ] || die "usage: $0 ROOT INF_DUMP_EXE NATIVE_INF_DUMP CORPUS"
root=$1
dump_exe=$2
native=$3
corpus=$4
template=$root/template
[ -f "$template/system.reg" ] || die "no template prefix in $root (run wine_prefix.sh prepare first)"
[ -f "$dump_exe" ] || die "no $dump_exe"
[ -x "$native" ] || die "no native dump at $native: build the native tree first (make native)"

# Where Wine is not Windows. Each entry names a section of the dump ("@",
# "messages" for the part before the first INF), a line of Wine's dump
# ("-") and what Windows gives there instead ("+", one or more lines), the
# simulated Setup API following Windows.
differences() {
  cat <<'EOF'
# Wine has no system texts for the Setup API's own errors: FormatMessageA
# fails with ERROR_MR_MID_NOT_FOUND, so a reader's last-error report shows
# nothing under Wine. Windows has a text for each (winerror.h). Wine also
# words ERROR_FILE_NOT_FOUND its own way.
@ messages
- message 0x2: "File not found.\x0D\x0A"
+ message 0x2: "The system cannot find the file specified.\x0D\x0A"
- message 0xE0000000: none, error=0x13D
+ message 0xE0000000: "A non-empty line was encountered in the INF before the start of a section.\x0D\x0A"
- message 0xE0000001: none, error=0x13D
+ message 0xE0000001: "A section name marker in the INF"..."ine by itself.\x0D\x0A" (90 chars, fnv 187DA7FE)
- message 0xE0000002: none, error=0x13D
+ message 0xE0000002: "An INF section was encountered w"..."n name length.\x0D\x0A" (84 chars, fnv 82BE7619)
- message 0xE0000100: none, error=0x13D
+ message 0xE0000100: "The style of the INF is different than what was requested.\x0D\x0A"
- message 0xE0000101: none, error=0x13D
+ message 0xE0000101: "The required section was not found in the INF.\x0D\x0A"
- message 0xE0000102: none, error=0x13D
+ message 0xE0000102: "The required line was not found in the INF.\x0D\x0A"
- message 0xE0000201: none, error=0x13D
+ message 0xE0000201: "The INF or the device informatio"..."install class.\x0D\x0A" (94 chars, fnv 2046C20A)

# Wine cuts every field as written in the file at 511 characters. Windows
# holds an INF string of up to 4095 characters (MAX_INF_STRING_LENGTH,
# 4096 with the terminator); only a [Strings] value is cut at 511 on both.
@ long_fields.inf
- DriverVer: FAIL error=0x7A required=523
+ DriverVer: FAIL error=0x7A required=612
- line 1: fields required=524 filled=524 ["QVR_A"|"HW_L"|"LLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLL"..."LLLLLLLLLLLLLLLL" (511 chars, fnv C88E7A0B)]
+ line 1: fields required=613 filled=613 ["QVR_A"|"HW_L"|"LLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLL"..."LLLLLLLLLLLLLLLL" (600 chars, fnv 855DD845)]
- line 2: fields required=524 filled=524 ["QVR_B"|"HW_H"|"HHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHH"..."HHHHHHHHHHHHHHHH" (511 chars, fnv 8989520F)]
+ line 2: fields required=4108 filled=4108 ["QVR_B"|"HW_H"|"HHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHH"..."HHHHHHHHHHHHHHHH" (4095 chars, fnv D6539A0F)]

# Wine ignores the install class that SetupOpenInfFileA is given. Windows
# opens the INF only if its [Version] Class (or the class of its ClassGUID)
# is that class, and fails with ERROR_CLASS_MISMATCH otherwise; the dump
# then opens it again without a class.
@ wrong_class.inf
- open class "Printer": ok
+ open class "Printer": FAIL error=0xE0000201 line=0
+ open class NULL: ok
@ no_class.inf
- open class "Printer": ok
+ open class "Printer": FAIL error=0xE0000201 line=0
+ open class NULL: ok
EOF
}

now_ms() { date +%s%3N; }
stop_server() {
  wineserver -k 2>/dev/null || true
  timeout 30 wineserver -w 2>/dev/null || true
}

prefix=$root/run-inf_conformance
work=$(mktemp -d)
export WINEPREFIX="$prefix"
if [ -d "$prefix" ]; then stop_server; fi
rm -rf "$prefix"
cp -a "$template" "$prefix"
trap 'stop_server; rm -rf "$prefix" "$work"' EXIT
mkdir -p "$prefix/drive_c/corpus" "$prefix/drive_c/qvr"
cp "$corpus"/*.inf "$prefix/drive_c/corpus/"
cp "$dump_exe" "$prefix/drive_c/qvr/inf_dump.exe"

names="$(cd "$corpus" && ls -- *.inf) missing.inf"
count=0
set --
for name in $names; do
  set -- "$@" "C:\\corpus\\$name"
  count=$((count + 1))
done
windows_paths="$*"
set --
for name in $names; do set -- "$@" "$corpus/$name"; done

t0=$(now_ms)
status=0
# The simulated machine runs the program of this prefix's kind.
native_build=
if [ "$WINEARCH" = win64 ]; then native_build=-64; fi
# shellcheck disable=SC2086 # empty, or one word
"$native" $native_build Printer "$@" >"$work/native.txt" || status=$?
[ "$status" -eq 0 ] || die "the native dump failed with status $status"
t1=$(now_ms)
# shellcheck disable=SC2086 # the paths hold no blanks
timeout -k 5 120 "$WINE" 'C:\qvr\inf_dump.exe' Printer $windows_paths >"$work/wine.raw" 2>"$work/wine.err" ||
  { cat "$work/wine.err" >&2; die "inf_dump.exe failed under Wine"; }
t2=$(now_ms)
tr -d '\r' <"$work/wine.raw" >"$work/wine.txt"

differences >"$work/differences.txt"
awk -v table="$work/differences.txt" -v unused="$work/unused.txt" '
  BEGIN {
    while ((getline row < table) > 0) {
      if (row ~ /^@ /) { section = substr(row, 3); continue }
      if (row ~ /^- /) { key = section SUBSEP substr(row, 3); wine[key] = 1; order[++n] = key; continue }
      if (row ~ /^\+ /) { windows[key] = windows[key] substr(row, 3) "\n" }
    }
    section = "messages"
  }
  /^== / { section = substr($0, 4) }
  {
    key = section SUBSEP $0
    if (key in wine && !(key in used)) { printf "%s", windows[key]; used[key] = 1 }
    else print
  }
  END {
    for (i = 1; i <= n; ++i)
      if (!(order[i] in used)) { split(order[i], part, SUBSEP); print part[1] ": " part[2] > unused }
  }
' "$work/wine.txt" >"$work/wine-as-windows.txt"

result=0
if [ -s "$work/unused.txt" ]; then
  echo "inf_conformance.sh: Wine no longer gives these lines of the table:" >&2
  cat "$work/unused.txt" >&2
  result=1
fi
if ! diff -u --label "Wine, named differences put the Windows way" --label "simulated Setup API" \
  "$work/wine-as-windows.txt" "$work/native.txt"; then
  result=1
fi
named=$(differences | grep -c '^- ' || true)
if [ "$result" -eq 0 ]; then
  echo "$count INFs: the simulated Setup API answers as Wine does, but for $named named differences"
fi
echo "times (ms): native $((t1 - t0)), Wine $((t2 - t1))"
exit "$result"
