#!/usr/bin/env bash
# Builds the release twice, from two clean clones of this repository's
# current commit in two different folders, one after the other, and requires
# the same bytes: qvrsetup.exe, qvrsetup64.exe, the zip and SHA256SUMS.
#
# The second build also runs with another umask, another time zone and
# another locale, so that none of them can leak into the release. Each
# clone builds only the two programs (make dist WIN_TARGETS=qvrsetup),
# unsigned, and its release folder must pass check_release.py, which also
# looks for the clone's folder inside the programs.
#
# Uncommitted changes are not in the clones: commit first.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD

head="$(git rev-parse HEAD)" || { echo "two clones: $root is no git repository"; exit 1; }
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "two clones: note: the uncommitted changes are not in the clones, which build $head"
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
ok() { echo "ok      $*"; passed=$((passed + 1)); }
bad() { echo "FAILED  $*"; failed=$((failed + 1)); }

# A clean build: nothing from the make that runs this, no signing.
clean_env=(env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL -u SIGN_CERT -u SIGN_KEY -u SIGN_PASS_FILE
  -u SIGN_TIMESTAMP_URL -u SIGN_URL -u QVR_DIST_DIR)

build() {
  local dir=$1 mask=$2 zone=$3 locale=$4 start
  start=$(date +%s)
  (umask "$mask" && git clone -q --no-checkout "$root" "$dir" &&
    git -C "$dir" checkout -q --detach "$head") || {
    bad "clone $head into $dir"
    return 1
  }
  if (umask "$mask" && cd "$dir" &&
    "${clean_env[@]}" TZ="$zone" LC_ALL="$locale" make dist WIN_TARGETS=qvrsetup JOBS="${JOBS:-2}") \
    >"$dir.log" 2>&1; then
    ok "built in $dir (umask $mask, TZ=$zone, LC_ALL=$locale) in $(($(date +%s) - start)) s"
  else
    bad "build in $dir:"
    tail -n 30 "$dir.log" | sed 's/^/          /'
    return 1
  fi
  if [ "$(grep -c '^dist: unsigned' "$dir.log")" -eq 1 ]; then
    ok "the unsigned build says so in one line: $(grep '^dist: unsigned' "$dir.log")"
  else
    bad "the unsigned build does not say so in one line"
  fi
}

one=$work/one
two=$work/the-second-clone-in-a-longer-folder
build "$one" 022 UTC C || { echo "two clones: $passed passed, $failed failed"; exit 1; }
build "$two" 077 "XYZ-13:45" C.UTF-8 || { echo "two clones: $passed passed, $failed failed"; exit 1; }

version="$(tr -d '\r\n' <"$one/build/win32/version.txt")"
for f in qvrsetup.exe qvrsetup64.exe "qvrsetup-$version.zip" SHA256SUMS; do
  if cmp "$one/dist/$f" "$two/dist/$f" >"$work/cmp.log" 2>&1; then
    ok "$f: the same bytes from both clones"
  else
    bad "$f differs between the clones: $(head -n 1 "$work/cmp.log")"
  fi
done
for clone in "$one" "$two"; do
  if python3 tests/dist/check_release.py "$clone/dist" "$clone" >"$work/release.log" 2>&1; then
    ok "$(basename "$clone"): the release folder (check_release.py)"
  else
    bad "$(basename "$clone"): the release folder (check_release.py):"
    sed 's/^/          /' "$work/release.log"
  fi
done

echo "two clones of $head:"
for f in qvrsetup.exe qvrsetup64.exe "qvrsetup-$version.zip"; do
  echo "  $(sha256sum "$one/dist/$f" | cut -d ' ' -f 1)  $f  $(stat -c %s "$one/dist/$f") bytes"
done
echo "two clones: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
