#!/usr/bin/env bash
# Builds the product's installer in two versions, as the build builds it, and signs them with
# throw-away certificates made here and now: version 1 and version 2 by "Quillon AB", and version 2
# once more by another publisher.
#   make-product-packages.sh OUTPUT_DIR ARCH RUNTIME_DIR LOGO VERSION1 LAUNCHER1 CAPTURE1 JAR1 VERSION2 LAUNCHER2 CAPTURE2 JAR2
#                            [X86_RUNTIME_DIR X86_LAUNCHER1 X86_CAPTURE1]
# Both versions ship the one runtime; each its own binaries and application; all for ARCH (x86, x64).
# Output: product-1.msi, product-2.msi, product-2-other-publisher.msi, and quillon-ab.pem. With the x86
# version 1's parts also product-1-x86.msi: an installed x86 product that version 2 for x64 replaces.
set -euo pipefail
usage="usage: make-product-packages.sh OUTPUT_DIR ARCH RUNTIME_DIR LOGO VERSION1 LAUNCHER1 CAPTURE1 JAR1 VERSION2 LAUNCHER2 CAPTURE2 JAR2 [X86_RUNTIME_DIR X86_LAUNCHER1 X86_CAPTURE1]"
[ $# -eq 12 ] || [ $# -eq 15 ] || { echo "$usage" >&2; exit 2; }
out=$1 arch=$2 runtime=$3 logo=$4
shift
here=$(cd "$(dirname "$0")" && pwd)
build_installer=$here/../../packaging/build-installer.sh
. "$here/../packages/throwaway-certificate.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -rf "$out"
mkdir -p "$out"

throwaway_certificate "$work" quillon-ab "Quillon AB"
throwaway_certificate "$work" other-publisher "Other Publisher"
cp "$work/quillon-ab.pem" "$out/"

# product VERSION LAUNCHER CAPTURE JAR SIGNER OUTPUT [ARCH RUNTIME]
product() {
  "$build_installer" --version "$1" --launcher "$2" --capture "$3" --jar "$4" --logo "$logo" \
    --runtime "${8:-$runtime}" --arch "${7:-$arch}" --cert "$work/$5.chain" --key "$work/$5.key" --output "$out/$6"
}
product "$4" "$5" "$6" "$7" quillon-ab product-1.msi
product "$8" "$9" "${10}" "${11}" quillon-ab product-2.msi
product "$8" "$9" "${10}" "${11}" other-publisher product-2-other-publisher.msi
if [ $# -eq 14 ]; then
  product "$4" "${13}" "${14}" "$7" quillon-ab product-1-x86.msi x86 "${12}"
fi

for msi in product-1.msi product-2.msi; do
  osslsigncode verify -CAfile "$work/quillon-ab.pem" "$out/$msi" >/dev/null
done
osslsigncode verify -CAfile "$work/other-publisher.pem" "$out/product-2-other-publisher.msi" >/dev/null
echo "make-product-packages.sh: $(ls "$out" | wc -l) files in $out"
