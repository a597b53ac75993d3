#!/usr/bin/env bash
# Checks the decisions of tools/install-deps.sh against stand-in apt-get,
# dpkg and dpkg-query commands that record how they were called.
set -uo pipefail
script="$(cd "$(dirname "$0")/../.." && pwd)/tools/install-deps.sh"
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
bin="$root/bin"
mkdir -p "$bin"

# Each stand-in appends one line per call to $FAKE_RECORD: the command, its
# arguments, DEBIAN_FRONTEND, and the pin file's contents at that moment.
cat >"$bin/record" <<'EOF'
pin="none"
[ -f "$QVR_APT_PREFERENCES_DIR/qvrsetup-security-pin" ] &&
  pin="$(tr '\n' '|' <"$QVR_APT_PREFERENCES_DIR/qvrsetup-security-pin")"
echo "$(basename "$0") $* | frontend=${DEBIAN_FRONTEND:-} | pin=$pin" >>"$FAKE_RECORD"
EOF

cat >"$bin/apt-get" <<'EOF'
#!/usr/bin/env bash
. "$(dirname "$0")/record"
case "$1" in
  update)
    n=$(($(cat "$FAKE_STATE/updates" 2>/dev/null || echo 0) + 1))
    echo "$n" >"$FAKE_STATE/updates"
    if [ "$n" -le "$FAKE_UPDATE_FAILURES" ]; then
      echo "E: Failed to fetch http://mirror.invalid/debian-security/dists/x/main/binary-i386/Packages.xz  File has unexpected size (1 != 2). Mirror sync in progress?" >&2
      echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
      exit 100
    fi
    exit 0 ;;
  install)
    if [ "$FAKE_INSTALL" = ok ] || { [ "$FAKE_INSTALL" = pin ] && [ "$pin" != none ]; }; then
      touch "$FAKE_STATE/installed"
      exit 0
    fi
    if [ "$FAKE_INSTALL" = interrupt ] && [ "$pin" != none ]; then
      kill -TERM "$PPID"
      exit 130
    fi
    [ "$FAKE_INSTALL" = half ] && touch "$FAKE_STATE/half"
    echo "E: Unable to correct problems, you have held broken packages." >&2
    exit 100 ;;
esac
EOF

cat >"$bin/dpkg" <<'EOF'
#!/usr/bin/env bash
. "$(dirname "$0")/record"
case "$1" in
  --print-foreign-architectures) echo i386 ;;
  --audit) [ -f "$FAKE_STATE/half" ] && echo "The following packages are only half configured:" ;;
  --configure) rm -f "$FAKE_STATE/half" ;;
esac
exit 0
EOF

# Installed are all packages but those in FAKE_MISSING, until an install works.
cat >"$bin/dpkg-query" <<'EOF'
#!/usr/bin/env bash
pkg="${!#}"
if [ ! -f "$FAKE_STATE/installed" ] && [[ " $FAKE_MISSING " == *" $pkg "* ]]; then
  echo "unknown ok not-installed"
  exit 1
fi
echo "install ok installed"
EOF
printf '#!/bin/sh\nexec "$@"\n' >"$bin/sudo"
chmod +x "$bin"/*

failures=0
# run NAME UPDATE_FAILURES INSTALL MISSING: runs the script, leaving its
# output in $out, its exit status in $status and the calls in $record.
run() {
  name="$1"
  local case_dir="$root/$name"
  mkdir -p "$case_dir/state" "$case_dir/preferences.d"
  record="$case_dir/record"
  : >"$record"
  out="$(env -u DEBIAN_FRONTEND PATH="$bin:$PATH" FAKE_RECORD="$record" FAKE_STATE="$case_dir/state" \
    FAKE_UPDATE_FAILURES="$2" FAKE_INSTALL="$3" FAKE_MISSING="$4" \
    QVR_APT_PREFERENCES_DIR="$case_dir/preferences.d" QVR_APT_RETRY_SECONDS=0 \
    "$script" 2>&1)"
  status=$?
  pins="$(ls "$case_dir/preferences.d")"
}

check() {
  if ! eval "$2"; then
    echo "FAIL [$name] $1"
    echo "  output:"; sed 's/^/    /' <<<"$out"
    echo "  calls:"; sed 's/^/    /' "$record"
    failures=$((failures + 1))
  fi
}
calls() { grep -c "^$1" "$record"; }
lines() { [ -z "$out" ] && echo 0 || wc -l <<<"$out"; }

pin_text='Package: *|Pin: release l=Debian-Security|Pin-Priority: 100|'

run nothing_missing 0 ok ""
check "exits 0" '[ $status -eq 0 ]'
check "calls no apt-get nor dpkg" '[ ! -s "$record" ]'
check "prints nothing" '[ -z "$out" ]'

run update_fails_once 1 ok "wine64 xvfb"
check "exits 0" '[ $status -eq 0 ]'
check "updates twice" '[ $(calls "apt-get update") -eq 2 ]'
check "says nothing of the update" '! grep -q "apt-get update" <<<"$out"'
check "installs once, unpinned, the missing packages only" \
  '[ $(calls "apt-get install") -eq 1 ] && grep -q "^apt-get install -y -qq --no-install-recommends wine64 xvfb | frontend=noninteractive | pin=none$" "$record"'

run index_broken_pin_helps 99 pin "wine32:i386"
check "exits 0" '[ $status -eq 0 ]'
check "updates three times" '[ $(calls "apt-get update") -eq 3 ]'
check "names the failing index" 'grep -q "binary-i386/Packages.xz" <<<"$out"'
check "installs unpinned, then pinned" \
  '[ "$(grep "^apt-get install" "$record" | sed "s/.*pin=//")" = "$(printf "none\n%s" "$pin_text")" ]'
check "leaves no pin file" '[ -z "$pins" ]'
check "prints a few lines" '[ $(lines) -le 8 ]'

run install_fails_both_ways 0 half "wine wine32:i386"
check "exits non-zero" '[ $status -ne 0 ]'
check "installs twice" '[ $(calls "apt-get install") -eq 2 ]'
check "names the packages" 'grep -qx "could not install: wine wine32:i386" <<<"$out"'
check "gives the reason" 'grep -q "held broken packages" <<<"$out"'
check "finishes the cut-off dpkg run" '[ $(calls "dpkg --configure -a") -ge 1 ]'
check "leaves no pin file" '[ -z "$pins" ]'
check "prints a few lines" '[ $(lines) -le 8 ]'

run interrupted_while_pinned 0 interrupt "wine"
check "exits non-zero" '[ $status -ne 0 ]'
check "was pinned when cut off" 'grep -q "^apt-get install.*pin=Package" "$record"'
check "leaves no pin file" '[ -z "$pins" ]'

if [ $failures -eq 0 ]; then
  echo "install-deps: all cases passed"
  exit 0
fi
echo "install-deps: $failures checks failed"
exit 1
