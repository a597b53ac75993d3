#!/usr/bin/env bash
# The demo's two scenarios as tests: each must print what the README says.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=$(tools/demo.sh "$1")
printf '%s\n' "$out"
expect() {
  grep -qF -- "$1" <<<"$out" || { echo "demo_check: missing: $1"; exit 1; }
}
expect "exit status: 0"
if [ "$1" = update ]; then
  expect "Driver update completed."
  expect "C:\\pkg\\bak\\qvrmon.dll: the backup is there"
  expect "C:\\windows\\system32\\qvrmon.dll: removed"
  expect "spooler: STATE : 4 RUNNING"
  expect "KillLogoTestingWarnings.exe ran with the command line: //NOLOGO"
else
  expect "the sample INF, now in the INF store"
  expect "end of log (0 bytes)"
fi
