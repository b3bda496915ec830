#!/usr/bin/env bash
# Signs a program, DLL or Windows Installer package with Authenticode.
#   sign.sh [--pkcs11-module SO] [--timestamp URL] [--discard-on-failure] CERT KEY INPUT [OUTPUT]
# CERT is the signer's certificate in PEM, followed by its issuers' if any. KEY is its private key: a
# PEM file, or a PKCS#11 URI (pkcs11:token=...;object=...;type=private) of a key in the token whose
# module --pkcs11-module names; the token's PIN is read from the environment variable QMR_SIGN_PIN and
# handed to osslsigncode on its standard input, never on a command line. With --timestamp the
# signature carries an RFC 3161 timestamp from that authority, or the signing fails.
# Without OUTPUT the input is replaced, and only once the signed file is complete; with
# --discard-on-failure an input that could not be signed is removed, so that no unsigned file stays
# where a signed one belongs.
set -euo pipefail
usage() { echo "usage: sign.sh [--pkcs11-module SO] [--timestamp URL] [--discard-on-failure] CERT KEY INPUT [OUTPUT]" >&2; exit 2; }
module= timestamp= discard=
while [ $# -gt 0 ]; do
  case $1 in
    --pkcs11-module) [ $# -ge 2 ] || usage; module=$2; shift 2 ;;
    --timestamp) [ $# -ge 2 ] || usage; timestamp=$2; shift 2 ;;
    --discard-on-failure) discard=yes; shift ;;
    -*) usage ;;
    *) break ;;
  esac
done
[ $# -eq 3 ] || [ $# -eq 4 ] || usage
cert=$1 key=$2 in=$3 out=${4:-$3}

fail() {
  echo "sign.sh: $*" >&2
  if [ -n "$discard" ]; then rm -f "$in"; fi
  exit 1
}
command -v osslsigncode >/dev/null || fail "osslsigncode is missing (scripts/setup.sh installs it)"
[ -f "$cert" ] || fail "certificate $cert is missing"

args=(-certs "$cert" -key "$key" -n "Quillon Attendant")
pin=
if [[ $key == pkcs11:* ]]; then
  [[ ! $key =~ [\;?\&]pin-value= ]] || fail "the key's URI must not carry the PIN (pin-value); set QMR_SIGN_PIN instead"
  [ -n "$module" ] || fail "a key in a token needs the token's module (--pkcs11-module)"
  [ -f "$module" ] || fail "PKCS#11 module $module is missing"
  engine=$(openssl version -e | sed -n 's/^ENGINESDIR: "\(.*\)"$/\1/p')/pkcs11.so
  [ -f "$engine" ] || fail "OpenSSL's PKCS#11 engine $engine is missing (scripts/setup.sh installs libengine-pkcs11-openssl)"
  [ -n "${QMR_SIGN_PIN:-}" ] || fail "the token's PIN is read from the environment variable QMR_SIGN_PIN, which is not set"
  pin=$QMR_SIGN_PIN
  args+=(-pkcs11engine "$engine" -pkcs11module "$module" -readpass -)
else
  [ -z "$module" ] || fail "--pkcs11-module goes with a key in a token (a pkcs11: URI), not with $key"
  [ -f "$key" ] || fail "key $key is missing"
fi
if [ -n "$timestamp" ]; then
  [[ $timestamp =~ ^https?:// ]] || fail "timestamp authority '$timestamp' is not an http:// or https:// URL"
  args+=(-ts "$timestamp")
fi

tmp="$out.signing"
rm -f "$tmp"
# An authority that accepts the connection and never answers would hold the build for ever.
status=0
report=$(printf %s "$pin" | timeout 120 osslsigncode sign "${args[@]}" -in "$in" -out "$tmp" 2>&1) || status=$?
if [ "$status" -ne 0 ]; then
  rm -f "$tmp"
  [ "$status" -ne 124 ] || fail "could not sign $in: no answer within 120 s${timestamp:+ from $timestamp}"
  if [ -n "$timestamp" ] && grep -qE 'timestamping failed|HTTP failure' <<<"$report"; then
    fail "could not sign $in: no timestamp from $timestamp"$'\n'"$report"
  fi
  fail "could not sign $in"$'\n'"$report"
fi
if [ -n "$timestamp" ]; then
  # The RFC 3161 countersignature, an unsigned attribute of the signer: without it the signature stops
  # verifying when the certificate expires.
  parsed=
  if osslsigncode extract-signature -in "$tmp" -out "$tmp.p7" >/dev/null 2>&1; then
    parsed=$(openssl asn1parse -inform DER -in "$tmp.p7" 2>/dev/null || true)
  fi
  if ! grep -q ':1\.3\.6\.1\.4\.1\.311\.3\.3\.1$' <<<"$parsed"; then
    rm -f "$tmp" "$tmp.p7"
    fail "$in was signed without a timestamp from $timestamp"
  fi
  rm -f "$tmp.p7"
fi
mv -f "$tmp" "$out"
