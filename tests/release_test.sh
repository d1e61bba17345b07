#!/usr/bin/env bash
# The release is reproducible and signable: two release builds in two
# different folders give byte-identical stripped executables, each with its
# debug file, and both sign and verify with a throw-away self-signed
# certificate made here (and deleted with the scratch folder).
#   tests/release_test.sh SCRATCH_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
scratch=$1
rm -rf "$scratch" && mkdir -p "$scratch"
trap 'rm -rf "$scratch/signer"' EXIT

"$root/scripts/release.sh" "$scratch/first" >"$scratch/first.log"
"$root/scripts/release.sh" "$scratch/second-elsewhere" >"$scratch/second.log"
cat "$scratch/first.log"
for exe in setup.exe skintool.exe; do
  test -s "$scratch/first/$exe.debug" || { echo "FAIL: no $exe.debug"; exit 1; }
  if x86_64-w64-mingw32-objdump -h "$scratch/first/$exe" | grep -q '\.debug_'; then
    echo "FAIL: $exe still carries debug sections"; exit 1
  fi
  cmp "$scratch/first/$exe" "$scratch/second-elsewhere/$exe" || { echo "FAIL: $exe differs between builds"; exit 1; }
done
echo "both builds identical"

mkdir -p "$scratch/signer"
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Throw-away release test signer" \
  -keyout "$scratch/signer/key.pem" -out "$scratch/signer/cert.pem" 2>/dev/null
"$root/scripts/sign.sh" "$scratch/signer/cert.pem" "$scratch/signer/key.pem" \
  "$scratch/first/setup.exe" "$scratch/first/skintool.exe"
for exe in setup.exe skintool.exe; do
  osslsigncode verify -CAfile "$scratch/signer/cert.pem" -in "$scratch/first/$exe" >"$scratch/verify-$exe.log" 2>&1 ||
    { cat "$scratch/verify-$exe.log"; echo "FAIL: $exe does not verify"; exit 1; }
  grep -q "Message digest algorithm  : SHA256" "$scratch/verify-$exe.log"
  echo "$exe: $(grep 'Signature verification' "$scratch/verify-$exe.log")"
done
