#!/usr/bin/env bash
# Packs the Windows release: dist/qvrsetup-<version>.zip with both programs,
# the text for package authors and the sample INF. Run after both cross
# builds; the version is the one the build wrote beside the programs.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
win32="${1:-$root/build/win32}"
win64="${2:-$root/build/win64}"
out="$root/dist"

die() { echo "dist: $*" >&2; exit 1; }

for f in "$win32/version.txt" "$win32/qvrsetup.exe" "$win64/version.txt" "$win64/qvrsetup.exe" \
  "$root/packages/sample/setup.inf"; do
  [ -f "$f" ] || die "missing $f (build both configurations first)"
done
version="$(tr -d '\r\n' <"$win32/version.txt")"
[ -n "$version" ] || die "empty $win32/version.txt"
[ "$version" = "$(tr -d '\r\n' <"$win64/version.txt")" ] ||
  die "the two builds disagree on the version; configure both again"

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
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
EOF

mkdir -p "$out"
zip_path="$out/qvrsetup-$version.zip"
rm -f "$zip_path"
(cd "$stage" && zip -q -X "$zip_path" qvrsetup.exe qvrsetup64.exe PACKAGE-AUTHORS.txt setup.inf)
echo "$zip_path $(stat -c %s "$zip_path") bytes"
