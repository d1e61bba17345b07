#!/usr/bin/env bash
# Signs the release executables with Authenticode (SHA-256) through
# osslsigncode, in place. The certificate and key are the caller's; nothing
# secret belongs in the repository.
#   scripts/sign.sh CERT KEY [FILE...]     (default: build/release/setup.exe and skintool.exe)
# CERT: PEM or DER certificate (chain); KEY: its private key (PEM or DER);
# KEY_PASSWORD (environment): the key's password, if it has one;
# TIMESTAMP_URL (environment): an RFC 3161 time-stamp server, if one is reachable.
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 CERT KEY [FILE...]" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
cert=$1 key=$2
shift 2
files=("$@")
[ ${#files[@]} -gt 0 ] || files=("$root/build/release/setup.exe" "$root/build/release/skintool.exe")

extra=()
[ -n "${KEY_PASSWORD:-}" ] && extra+=(-pass "$KEY_PASSWORD")
[ -n "${TIMESTAMP_URL:-}" ] && extra+=(-ts "$TIMESTAMP_URL")

for file in "${files[@]}"; do
  osslsigncode sign -certs "$cert" -key "$key" -h sha256 -n "setup.exe" "${extra[@]}" \
    -in "$file" -out "$file.signing" >/dev/null
  mv -f "$file.signing" "$file"
  echo "signed $file"
done
