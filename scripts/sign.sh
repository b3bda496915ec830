#!/usr/bin/env bash
# Signs a program, DLL or Windows Installer package with Authenticode.
#   sign.sh CERT KEY INPUT [OUTPUT]
# CERT is the signer's certificate in PEM, followed by its issuers' if any; KEY its private key in PEM.
# Without OUTPUT the input is replaced, and only once the signed file is complete.
set -euo pipefail
cert=${1:?usage: sign.sh CERT KEY INPUT [OUTPUT]}
key=${2:?usage: sign.sh CERT KEY INPUT [OUTPUT]}
in=${3:?usage: sign.sh CERT KEY INPUT [OUTPUT]}
out=${4:-$in}
command -v osslsigncode >/dev/null || { echo "sign.sh: osslsigncode is missing (scripts/setup.sh installs it)" >&2; exit 1; }
tmp="$out.signing"
rm -f "$tmp"
if ! osslsigncode sign -certs "$cert" -key "$key" -n "Quillon Attendant" -in "$in" -out "$tmp" >/dev/null; then
  rm -f "$tmp"
  echo "sign.sh: could not sign $in" >&2
  exit 1
fi
mv -f "$tmp" "$out"
