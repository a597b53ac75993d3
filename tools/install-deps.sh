#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when missing.
#
# A mirror that is half way through a sync can serve an index that does not
# match its Release file. The update is then tried again a few times and, if
# one index still fails, the script goes on with the others. An install that
# then fails (typically i386 libraries that can't follow the amd64 ones from
# the security suite) is tried once more with that suite pinned down to 100,
# so that the resolver takes one consistent set from the main and updates
# suites. The pin file lives only for that one install.
#
# QVR_APT_PREFERENCES_DIR stands in for /etc/apt/preferences.d and
# QVR_APT_RETRY_SECONDS for the pause between update attempts (tests).
set -euo pipefail

packages=(cmake make g++ libgtest-dev googletest g++-mingw-w64-i686 binutils-mingw-w64-i686
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine32:i386 wine64 xauth xvfb zip unzip
  clang libclang-rt-14-dev libbenchmark-dev python3 bc imagemagick fonts-wine fonts-wqy-microhei locales osslsigncode openssl)

preferences_dir="${QVR_APT_PREFERENCES_DIR:-/etc/apt/preferences.d}"
retry_seconds="${QVR_APT_RETRY_SECONDS:-5}"
pin_file="$preferences_dir/qvrsetup-security-pin"

missing_packages() {
  local p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}

mapfile -t missing < <(missing_packages)
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

work="$(mktemp -d)"
cleanup() {
  $sudo rm -f "$pin_file"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# An install that was cut off leaves packages unpacked but not configured;
# apt refuses to go on until they are.
finish_dpkg() {
  if [ -n "$(dpkg --audit 2>/dev/null)" ]; then
    echo "dpkg: finishing an interrupted install (dpkg --configure -a)"
    DEBIAN_FRONTEND=noninteractive $sudo dpkg --configure -a >"$work/configure.log" 2>&1 ||
      echo "dpkg --configure -a failed: $(tail -n 1 "$work/configure.log")"
  fi
}

# The first error line of an apt run, for a one-line reason.
first_error() {
  grep -m 1 -E '^E: ' "$1" | cut -c 1-200 || tail -n 1 "$1" | cut -c 1-200
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
finish_dpkg

updated=""
for attempt in 1 2 3; do
  if $sudo apt-get update -qq >"$work/update.log" 2>&1 && ! grep -q '^[EW]: Failed to fetch' "$work/update.log"; then
    updated=yes
    break
  fi
  [ "$attempt" -lt 3 ] && sleep "$retry_seconds"
done
if [ -z "$updated" ]; then
  failed="$(grep -m 1 -oE 'Failed to fetch [^ ]+' "$work/update.log" | cut -d ' ' -f 4 || true)"
  echo "apt-get update: an index still fails after 3 attempts, going on without it: ${failed:-$(first_error "$work/update.log")}"
fi

install() {
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >"$work/install.log" 2>&1
}

if install; then
  exit 0
fi
echo "apt-get install failed: $(first_error "$work/install.log")"
finish_dpkg

echo "trying again with the security suite pinned to 100 for this install"
$sudo mkdir -p "$preferences_dir"
printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' |
  $sudo tee "$pin_file" >/dev/null
if install; then
  exit 0
fi
echo "apt-get install failed again: $(first_error "$work/install.log")"
finish_dpkg
mapfile -t missing < <(missing_packages)
echo "could not install: ${missing[*]}"
exit 1
