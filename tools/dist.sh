#!/usr/bin/env bash
# Packs the Windows release: dist/qvrsetup-<version>.zip with both programs,
# the text for package authors and the sample INF. Run after both cross
# builds; the version is the one the build wrote beside the programs.
#
#   tools/dist.sh [WIN32_BUILD WIN64_BUILD]
#
# The zip is the same bytes for the same commit: its entries in a fixed
# order, with fixed permissions, and dated SOURCE_DATE_EPOCH when that is
# set, otherwise the time of the last commit. Beside it go both programs,
# as the zip holds them, and SHA256SUMS for the three.
#
# With SIGN_CERT (a PEM certificate chain, the signer's certificate first)
# and SIGN_KEY (its PEM private key) both programs are signed with
# Authenticode (osslsigncode, SHA-256) before they are packed; SIGN_PASS_FILE
# holds the key's passphrase, SIGN_TIMESTAMP_URL names an RFC 3161 time-stamp
# server, and SIGN_URL the address that the signature carries. Stripping the
# signature again must give the unsigned program, byte for byte.
# QVR_DIST_DIR stands in for dist/ (tests).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
win32="${1:-$root/build/win32}"
win64="${2:-$root/build/win64}"
out="${QVR_DIST_DIR:-$root/dist}"
sign_cert="${SIGN_CERT:-}"
sign_key="${SIGN_KEY:-}"
sign_pass_file="${SIGN_PASS_FILE:-}"
sign_timestamp_url="${SIGN_TIMESTAMP_URL:-}"
sign_url="${SIGN_URL:-https://qvr.example/qvrsetup}"
# What the signature shows as the program's name (Windows' consent prompt).
sign_name="QVR Driver Setup"

die() { echo "dist: $*" >&2; exit 1; }

if [ -n "$sign_cert" ] || [ -n "$sign_key" ]; then
  [ -n "$sign_cert" ] && [ -n "$sign_key" ] || die "signing needs both SIGN_CERT and SIGN_KEY"
  for f in "$sign_cert" "$sign_key" ${sign_pass_file:+"$sign_pass_file"}; do
    [ -r "$f" ] || die "cannot read $f"
  done
  command -v osslsigncode >/dev/null || die "osslsigncode is not installed (tools/install-deps.sh)"
else
  [ -z "$sign_pass_file" ] && [ -z "$sign_timestamp_url" ] ||
    die "SIGN_PASS_FILE and SIGN_TIMESTAMP_URL need SIGN_CERT and SIGN_KEY"
fi

# The one time in the zip.
if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
  epoch=$SOURCE_DATE_EPOCH
  epoch_from=SOURCE_DATE_EPOCH
else
  epoch="$(git -C "$root" log -1 --format=%ct 2>/dev/null)" ||
    die "no SOURCE_DATE_EPOCH and no git commit in $root to date the zip by"
  epoch_from="the last commit"
fi
case $epoch in '' | *[!0-9]*) die "SOURCE_DATE_EPOCH '$epoch' is not a number of seconds" ;; esac
# A zip holds DOS times, which begin in 1980.
[ "$epoch" -ge 315532800 ] || die "$epoch_from ($epoch) lies before 1980, where zip times begin"

for f in "$win32/version.txt" "$win32/qvrsetup.exe" "$win64/version.txt" "$win64/qvrsetup.exe" \
  "$root/packages/sample/setup.inf"; do
  [ -f "$f" ] || die "missing $f (build both configurations first)"
done
version="$(tr -d '\r\n' <"$win32/version.txt")"
[ -n "$version" ] || die "empty $win32/version.txt"
[ "$version" = "$(tr -d '\r\n' <"$win64/version.txt")" ] ||
  die "the two builds disagree on the version; configure both again"

# Nothing of an earlier release stays behind to be taken for this one.
mkdir -p "$out"
zip_path="$out/qvrsetup-$version.zip"
zip_name="$(basename "$zip_path")"
rm -f "$zip_path" "$out/SHA256SUMS" "$out/qvrsetup.exe" "$out/qvrsetup64.exe"

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
# Read once, as it may be a pipe; the stage is the user's alone.
if [ -n "$sign_pass_file" ]; then
  (umask 077 && cat "$sign_pass_file" >"$stage/passphrase") || die "cannot read $sign_pass_file"
  sign_pass_file=$stage/passphrase
fi
cp "$win32/qvrsetup.exe" "$stage/qvrsetup.exe"
cp "$win64/qvrsetup.exe" "$stage/qvrsetup64.exe"
cp "$root/packages/sample/setup.inf" "$stage/setup.inf"

# Windows line ends, so that any editor on the target shows it as written.
sed 's/$/\r/' >"$stage/PACKAGE-AUTHORS.txt" <<EOF
qvrsetup $version - notes for driver package authors
====================================================

What it does
------------
qvrsetup.exe is the setup program of a QVR printer driver package. It lies
beside the package's INF and is started from that folder. It does one of two
things:

  Install  copies the package's INF into the system's INF store, so that
           Plug and Play or the Add Printer wizard can install the printer
           from it later.
  Update   for a printer that is already installed: stops the print spooler,
           backs the model's language monitor up from system32 into the
           folder "bak" of the package, deletes it from system32, starts the
           spooler again and forces a Plug and Play driver update for the
           model's hardware ID.

Which program to ship
---------------------
Ship both, side by side, beside the INF:

  qvrsetup.exe     32-bit; the one scripts and users start.
  qvrsetup64.exe   64-bit. On 64-bit Windows qvrsetup.exe starts it at once
                   with the same command line and folder, and ends with its
                   exit status. Without it, qvrsetup.exe on 64-bit Windows
                   can still Install but refuses Update (exit status 1).

Both ask for administrator rights and need no DLL beyond Windows' own.

Command line
------------
  qvrsetup.exe                              use the first *.inf of the folder
  qvrsetup.exe setup.inf                    interactive: choose a model and
                                            press Install or Update
  qvrsetup.exe setup.inf "QVR 3417"         unattended, when an installed
                                            printer's name begins so
  qvrsetup.exe setup.inf "QVR 3417" SILENT  the same, and also start
                                            KillLogoTestingWarnings.exe

The INF name ends at the first blank. A printer name with blanks goes in
double quotes right after that blank. SILENT counts in any letter case.

Unattended runs: when an installed printer's name begins with the name given,
the program shows no message box. If the name also begins one of the INF's
model names it updates that model, otherwise it installs the INF. If no
installed printer matches, it does nothing and ends.

Files in the package folder
---------------------------
  QVR_Download.txt  the progress log of an unattended run, emptied at the
                    start of each run.
  bak               the folder that receives the backup of the language
                    monitor before Update deletes it from system32.

Exit status
-----------
  0     unattended, done (INF copied, or driver updated or already current)
  3010  unattended, driver updated, Windows needs a restart
  1     unattended, failed (the log says why)
  0     interactive runs, and runs whose printer name matched no printer

The INF
-------
It must be a Windows INF of class Printer (see setup.inf in this zip):

  [Manufacturer]
  %QVR%=QVR

  [QVR]
  "QVR 3417" = QVR3417, LPTENUM\Kalbrix_ABQVR34170B7C, QVR 3417

Each model line reads  key = InstallSection, HardwareId, Model Name.
The install section names a data section with DataSection=<section>, and that
section's LanguageMonitor="<display name>,<file>.dll" names the monitor file.

Checking the programs
---------------------
SHA256SUMS, published beside the zip, holds the SHA-256 of the zip and of both
programs (PowerShell: Get-FileHash <file> -Algorithm SHA256). In a signed
release both programs carry an Authenticode signature: see the program's
Properties, Digital Signatures, or Get-AuthenticodeSignature <file>.
EOF

# Signs one program in the stage, and checks that the signature is all
# that it added.
sign() {
  local exe=$1
  local args=(sign -h sha256 -comm -n "$sign_name" -i "$sign_url" -certs "$sign_cert" -key "$sign_key")
  [ -z "$sign_pass_file" ] || args+=(-readpass "$sign_pass_file")
  [ -z "$sign_timestamp_url" ] || args+=(-ts "$sign_timestamp_url")
  # In a session of its own, so that it can't ask a terminal for the
  # passphrase: an encrypted key needs SIGN_PASS_FILE.
  setsid -w osslsigncode "${args[@]}" -in "$stage/$exe" -out "$stage/$exe.signed" \
    </dev/null >"$stage/sign.log" 2>&1 ||
    die "osslsigncode could not sign $exe: $(sed 's/Enter PEM pass phrase://g' "$stage/sign.log" |
      grep -v -e '^Succeeded' -e '^[0-9A-F]*:error:' -e '^ *$' | head -n 2 | tr '\n' ' ')"
  osslsigncode remove-signature -in "$stage/$exe.signed" -out "$stage/$exe.stripped" \
    >"$stage/sign.log" 2>&1 || die "osslsigncode could not strip the signature of $exe again"
  cmp -s "$stage/$exe.stripped" "$stage/$exe" ||
    die "$exe without its signature differs from the unsigned program"
  mv "$stage/$exe.signed" "$stage/$exe"
  rm "$stage/$exe.stripped" "$stage/sign.log"
}

if [ -n "$sign_cert" ]; then
  sign qvrsetup.exe
  sign qvrsetup64.exe
  echo "dist: signed both programs as $(openssl x509 -in "$sign_cert" -noout -subject -nameopt oneline 2>/dev/null || echo "$sign_cert")"
else
  echo "dist: unsigned: give SIGN_CERT and SIGN_KEY to sign the programs"
fi

entries=(qvrsetup.exe qvrsetup64.exe PACKAGE-AUTHORS.txt setup.inf)
for f in "${entries[@]}"; do
  chmod 0644 "$stage/$f"
  TZ=UTC touch -d "@$epoch" "$stage/$f"
done

# -X: no owner and no extra time fields; TZ=UTC: the DOS times are the UTC
# ones, whatever the zone of the machine.
(cd "$stage" && TZ=UTC zip -q -X "$zip_path" "${entries[@]}")
cp -p "$stage/qvrsetup.exe" "$stage/qvrsetup64.exe" "$out/"
(cd "$out" && sha256sum "$zip_name" qvrsetup.exe qvrsetup64.exe >SHA256SUMS)
echo "$zip_path $(stat -c %s "$zip_path") bytes, dated $(TZ=UTC date -d "@$epoch" '+%Y-%m-%d %H:%M:%S UTC') ($epoch_from)"
echo "$out/SHA256SUMS:"
sed 's/^/  /' "$out/SHA256SUMS"
