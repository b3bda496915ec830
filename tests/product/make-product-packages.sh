#!/usr/bin/env bash
# Builds the product's installer in two versions, as the build builds it, and signs them as releases
# are signed: by "Quillon AB" with its key in a token (SoftHSM2, made here and now; the key file is
# deleted once imported) and an RFC 3161 timestamp from a time-stamping authority on the loopback
# that this script starts and stops; version 2 once more by another publisher, from a key file.
#   make-product-packages.sh --output DIR --arch x86|x64 --runtime DIR --logo PNG
#                            --version1 X.Y.Z --launcher1 EXE --capture1 DLL --jar1 JAR
#                            --version2 X.Y.Z --launcher2 EXE --capture2 DLL --jar2 JAR
#                            [--x86-runtime DIR --x86-launcher1 EXE --x86-capture1 DLL]
# Both versions ship the one runtime; each its own binaries and application; all for the architecture.
# Output: product-1.msi, product-2.msi, product-2-other-publisher.msi, and quillon-ab.pem. With the x86
# version 1's parts also product-1-x86.msi: an installed x86 product that version 2 for x64 replaces.
set -euo pipefail
usage() {
  echo "usage: make-product-packages.sh --output DIR --arch x86|x64 --runtime DIR --logo PNG" \
    "--version1 X.Y.Z --launcher1 EXE --capture1 DLL --jar1 JAR --version2 X.Y.Z --launcher2 EXE --capture2 DLL --jar2 JAR" \
    "[--x86-runtime DIR --x86-launcher1 EXE --x86-capture1 DLL]" >&2
  exit 2
}
out= arch= runtime= logo= version1= launcher1= capture1= jar1= version2= launcher2= capture2= jar2=
x86_runtime= x86_launcher1= x86_capture1=
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || usage
  case $1 in
    --output) out=$2 ;; --arch) arch=$2 ;; --runtime) runtime=$2 ;; --logo) logo=$2 ;;
    --version1) version1=$2 ;; --launcher1) launcher1=$2 ;; --capture1) capture1=$2 ;; --jar1) jar1=$2 ;;
    --version2) version2=$2 ;; --launcher2) launcher2=$2 ;; --capture2) capture2=$2 ;; --jar2) jar2=$2 ;;
    --x86-runtime) x86_runtime=$2 ;; --x86-launcher1) x86_launcher1=$2 ;; --x86-capture1) x86_capture1=$2 ;;
    *) usage ;;
  esac
  shift 2
done
for v in out arch runtime logo version1 launcher1 capture1 jar1 version2 launcher2 capture2 jar2; do
  [ -n "${!v}" ] || usage
done
if [ -n "$x86_runtime$x86_launcher1$x86_capture1" ] && { [ -z "$x86_runtime" ] || [ -z "$x86_launcher1" ] || [ -z "$x86_capture1" ]; }; then
  echo "make-product-packages.sh: give all three of --x86-runtime, --x86-launcher1 and --x86-capture1, or none" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
build_installer=$here/../../packaging/build-installer.sh
. "$here/../packages/throwaway-certificate.sh"
. "$here/../packages/throwaway-token.sh"
. "$here/../packages/timestamp-authority.sh"

work=$(mktemp -d)
trap 'stop_timestamp_authority; rm -rf "$work"' EXIT
rm -rf "$out"
mkdir -p "$out" "$work/tsa"

throwaway_certificate "$work" quillon-ab "Quillon AB"
throwaway_certificate "$work" other-publisher "Other Publisher"
cp "$work/quillon-ab.pem" "$out/"
throwaway_token "$work" quillon-ab
start_timestamp_authority "$work/tsa" 300

# product VERSION LAUNCHER CAPTURE JAR OUTPUT [ARCH RUNTIME]: signed by Quillon AB from the token.
product() {
  "$build_installer" --version "$1" --launcher "$2" --capture "$3" --jar "$4" --logo "$logo" \
    --runtime "${7:-$runtime}" --arch "${6:-$arch}" --output "$out/$5" \
    --cert "$work/quillon-ab.chain" --key "$token_key" --pkcs11-module "$token_module" --timestamp "$tsa_url"
}
product "$version1" "$launcher1" "$capture1" "$jar1" product-1.msi
product "$version2" "$launcher2" "$capture2" "$jar2" product-2.msi
"$build_installer" --version "$version2" --launcher "$launcher2" --capture "$capture2" --jar "$jar2" --logo "$logo" \
  --runtime "$runtime" --arch "$arch" --cert "$work/other-publisher.chain" --key "$work/other-publisher.key" \
  --output "$out/product-2-other-publisher.msi"
if [ -n "$x86_runtime" ]; then
  product "$version1" "$x86_launcher1" "$x86_capture1" "$jar1" product-1-x86.msi x86 "$x86_runtime"
fi
stop_timestamp_authority

# The signatures must be what the tests take them for: the publisher's, timestamped.
for msi in product-1.msi product-2.msi $([ -z "$x86_runtime" ] || echo product-1-x86.msi); do
  report=$(osslsigncode verify -CAfile "$work/quillon-ab.pem" -TSA-CAfile "$tsa_cert" "$out/$msi" 2>&1) ||
    { echo "$report" >&2; echo "make-product-packages.sh: $msi does not verify" >&2; exit 1; }
  grep -q 'Timestamp Server Signature verification: ok' <<<"$report" ||
    { echo "$report" >&2; echo "make-product-packages.sh: $msi carries no valid timestamp" >&2; exit 1; }
done
osslsigncode verify -CAfile "$work/other-publisher.pem" "$out/product-2-other-publisher.msi" >/dev/null
echo "make-product-packages.sh: $(ls "$out" | wc -l) files in $out"
