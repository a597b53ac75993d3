#!/usr/bin/env bash
# Signs a release with a throw-away certificate and checks the signatures.
#
# In a temporary folder openssl makes a CA and a code-signing certificate
# from it (its key under a passphrase, in a file), and a second CA that
# signed nothing. tools/dist.sh then packs a signed release there from
# build/win32 and build/win64, and for both programs in its zip:
#   - osslsigncode verify accepts the signature against the CA, and refuses
#     it against the other CA and once a byte of the program changed;
#   - stripping the signature gives the unsigned build, byte for byte;
#   - the signed program still starts under Wine and shows its dialog (the
#     end-to-end case InfWithoutPrinterShowsMainDialog, in its own build's
#     kind of prefix).
# It also checks the signed release folder (check_release.py), and that a
# bad passphrase fails the release and leaves no zip.
#
# osslsigncode's full answers are kept in build/dist-check/.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
. tools/wine-env.sh

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
keep=$root/build/dist-check
mkdir -p "$keep"
passed=0
failed=0
skipped=0
ok() { echo "ok      $*"; passed=$((passed + 1)); }
bad() { echo "FAILED  $*"; failed=$((failed + 1)); }
skip() { echo "skipped $*"; skipped=$((skipped + 1)); }
indent() { sed 's/^/          /'; }

for f in build/win32/qvrsetup.exe build/win64/qvrsetup.exe; do
  [ -f "$f" ] || { echo "signing: missing $f (make win32 win64 first)"; exit 1; }
done

# ---------------------------------------------------------------- certificates
pki=$work/pki
mkdir -p "$pki"
make_certificates() {
  cd "$pki" || return 1
  printf 'throw-away passphrase\n' >pass.txt
  openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 \
    -subj "/O=qvrsetup tests/CN=Throw-away test CA" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" &&
    openssl req -x509 -newkey rsa:2048 -nodes -keyout other.key -out other-ca.pem -days 2 \
      -subj "/O=qvrsetup tests/CN=Another test CA" \
      -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" &&
    openssl req -newkey rsa:2048 -keyout signer.key -passout file:pass.txt -out signer.csr \
      -subj "/O=QVR test publisher/CN=QVR test publisher" &&
    printf '%s\n' "basicConstraints=critical,CA:FALSE" "keyUsage=critical,digitalSignature" \
      "extendedKeyUsage=codeSigning" "subjectKeyIdentifier=hash" >signer.ext &&
    openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
      -extfile signer.ext -out signer.pem &&
    cat signer.pem ca.pem >chain.pem
}
if (make_certificates) >"$work/openssl.log" 2>&1; then
  ok "a throw-away CA and a code-signing certificate from it (key under a passphrase)"
else
  bad "openssl could not make the certificates:"
  indent <"$work/openssl.log"
  echo "signing: $passed passed, $failed failed"
  exit 1
fi

# ---------------------------------------------------------------- a signed release
signed=$work/dist
if QVR_DIST_DIR=$signed SIGN_CERT=$pki/chain.pem SIGN_KEY=$pki/signer.key \
  SIGN_PASS_FILE=$pki/pass.txt SIGN_TIMESTAMP_URL= tools/dist.sh >"$work/dist.log" 2>&1 &&
  grep -q '^dist: signed both programs' "$work/dist.log"; then
  ok "tools/dist.sh signs with SIGN_CERT, SIGN_KEY and SIGN_PASS_FILE"
else
  bad "tools/dist.sh did not sign:"
  indent <"$work/dist.log"
  echo "signing: $passed passed, $failed failed"
  exit 1
fi
indent <"$work/dist.log"
if python3 tests/dist/check_release.py "$signed" >"$work/release.log" 2>&1; then
  ok "the signed release folder (check_release.py)"
else
  bad "the signed release folder (check_release.py):"
  indent <"$work/release.log"
fi
mkdir -p "$work/unzipped"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' \
  "$signed"/qvrsetup-*.zip "$work/unzipped"

# ---------------------------------------------------------------- each program
verify() { osslsigncode verify -CAfile "$2" -in "$1" 2>&1; }

for pair in "qvrsetup.exe win32" "qvrsetup64.exe win64"; do
  read -r exe tree <<<"$pair"
  program=$work/unzipped/$exe
  unsigned=build/$tree/qvrsetup.exe

  answer=$(verify "$program" "$pki/ca.pem")
  status=$?
  printf '%s\n' "$answer" >"$keep/osslsigncode-verify-$exe.txt"
  if [ "$status" -eq 0 ] && grep -qx 'Signature verification: ok' <<<"$answer" &&
    grep -q 'Message digest algorithm *: SHA256' <<<"$answer" &&
    grep -q 'Text description: QVR Driver Setup' <<<"$answer"; then
    ok "$exe: osslsigncode verify against the CA"
  else
    bad "$exe: osslsigncode verify against the CA (status $status):"
    indent <<<"$answer"
  fi
  grep -E 'Subject:|Issuer :|Message digest algorithm *:|description:|verification:' <<<"$answer" |
    sed 's/^[[:space:]]*//' | sort -u | indent

  if verify "$program" "$pki/other-ca.pem" >"$work/other.log"; then
    bad "$exe: the signature verified against a CA that never signed it"
  else
    ok "$exe: refused against another CA"
  fi

  cp "$program" "$work/tampered.exe"
  # One byte of the code, well inside the image and away from the headers.
  python3 -c 'import sys; f = open(sys.argv[1], "r+b"); f.seek(4096); b = f.read(1); f.seek(4096); f.write(bytes([b[0] ^ 0xFF]))' \
    "$work/tampered.exe"
  if verify "$work/tampered.exe" "$pki/ca.pem" >"$work/tampered.log"; then
    bad "$exe: the signature verified after the program changed"
  else
    ok "$exe: refused once a byte of the program changed"
  fi

  if osslsigncode remove-signature -in "$program" -out "$work/stripped.exe" >"$work/strip.log" 2>&1 &&
    cmp -s "$work/stripped.exe" "$unsigned"; then
    ok "$exe: without its signature it is $unsigned, byte for byte"
  else
    bad "$exe: without its signature it differs from $unsigned"
  fi
  rm -f "$work/stripped.exe" "$work/tampered.exe"

  # The signed program under Wine, in an end-to-end case that waits for its
  # dialog and reads it. The build's template prefix serves when the Wine
  # tests made it; otherwise one is made here.
  use_wine_arch "$tree"
  e2e=build/$tree/qvr_e2e.exe
  prefixes=$root/build/$tree/tests/wine/prefixes
  if [ ! -f "$e2e" ]; then
    bad "$exe under Wine: no $e2e (make $tree)"
    continue
  fi
  if [ "$tree" = win32 ] && ! runs_32bit_code; then
    skip "$exe under Wine: this machine runs no 32-bit code"
    continue
  fi
  if [ ! -f "$prefixes/template/system.reg" ]; then
    prefixes=$work/prefixes-$tree
    WINEARCH=$tree tests/wine/wine_prefix.sh prepare "$prefixes" >"$work/prepare.log" 2>&1 || {
      bad "$exe under Wine: no template prefix:"
      indent <"$work/prepare.log"
      continue
    }
  fi
  WINEARCH=$tree tests/wine/wine_prefix.sh run "$prefixes" InfWithoutPrinterShowsMainDialog \
    "$program" "$e2e" >"$work/wine.log" 2>&1
  status=$?
  case $status in
    0) ok "$exe: signed, it starts under Wine ($tree) and shows its dialog" ;;
    77) skip "$exe under Wine: $(tail -n 1 "$work/wine.log")" ;;
    *)
      bad "$exe: signed, under Wine ($tree) (status $status):"
      tail -n 30 "$work/wine.log" | indent
      ;;
  esac
done

# ---------------------------------------------------------------- failures
printf 'not the passphrase\n' >"$pki/wrong.txt"
if QVR_DIST_DIR=$work/bad SIGN_CERT=$pki/chain.pem SIGN_KEY=$pki/signer.key \
  SIGN_PASS_FILE=$pki/wrong.txt tools/dist.sh >"$work/bad.log" 2>&1; then
  bad "a wrong passphrase still gave a release"
elif compgen -G "$work/bad/*.zip" >/dev/null; then
  bad "a wrong passphrase failed, but left a zip"
else
  ok "a wrong passphrase fails the release and leaves no zip: $(grep -m 1 '^dist:' "$work/bad.log")"
fi
if QVR_DIST_DIR=$work/bad SIGN_CERT=$pki/chain.pem tools/dist.sh >"$work/bad.log" 2>&1; then
  bad "SIGN_CERT without SIGN_KEY still gave a release"
else
  ok "SIGN_CERT without SIGN_KEY is refused: $(grep -m 1 '^dist:' "$work/bad.log")"
fi

echo "signing: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
