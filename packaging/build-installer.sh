#!/usr/bin/env bash
# Builds the product's Windows Installer package with wixl, and signs it when given a certificate.
#   build-installer.sh --version X.Y.Z --launcher EXE --capture DLL --logo PNG --jar JAR --runtime DIR
#                      --output MSI [--arch x86|x64]
#                      [--cert PEM --key PEM|PKCS11_URI [--pkcs11-module SO] [--timestamp URL] | --signature-from MSI]
# DIR is the Java runtime that is installed as "jre" beside the launcher; the jar becomes app\bootloader.jar.
# Signing is scripts/sign.sh's (a key in a token takes its PIN from QMR_SIGN_PIN). --signature-from
# checks a published package instead: its signature is attached, and the result must equal it.
# The same inputs make the same package: its time is SOURCE_DATE_EPOCH (the current time when unset),
# the product code follows from the upgrade code, version and architecture, the package code from the
# package's content.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
usage() { echo "usage: build-installer.sh --version X.Y.Z --launcher EXE --capture DLL --logo PNG --jar JAR --runtime DIR --output MSI [--arch x86|x64] [--cert PEM --key PEM|PKCS11_URI [--pkcs11-module SO] [--timestamp URL] | --signature-from MSI]" >&2; exit 2; }
version= launcher= capture= logo= jar= runtime= output= cert= key= arch=x86 module= timestamp= published=
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || usage
  case $1 in
    --version) version=$2 ;; --launcher) launcher=$2 ;; --capture) capture=$2 ;; --logo) logo=$2 ;;
    --jar) jar=$2 ;; --runtime) runtime=$2 ;; --output) output=$2 ;; --cert) cert=$2 ;; --key) key=$2 ;; --arch) arch=$2 ;;
    --pkcs11-module) module=$2 ;; --timestamp) timestamp=$2 ;; --signature-from) published=$2 ;;
    *) usage ;;
  esac
  shift 2
done
for v in version launcher capture logo jar runtime output; do [ -n "${!v}" ] || usage; done
[[ $arch =~ ^(x86|x64)$ ]] || { echo "build-installer.sh: architecture '$arch' is neither x86 nor x64" >&2; exit 2; }
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "build-installer.sh: version '$version' is not MAJOR.MINOR.PATCH" >&2; exit 2; }
for f in "$launcher" "$capture" "$logo" "$jar"; do [ -f "$f" ] || { echo "build-installer.sh: $f is missing" >&2; exit 1; }; done
[ -f "$runtime/bin/server/jvm.dll" ] || { echo "build-installer.sh: $runtime holds no bin/server/jvm.dll" >&2; exit 1; }
if { [ -n "$cert" ] && [ -z "$key" ]; } || { [ -z "$cert" ] && [ -n "$key" ]; }; then
  echo "build-installer.sh: give both --cert and --key, or neither" >&2
  exit 2
fi
if { [ -n "$module" ] || [ -n "$timestamp" ]; } && [ -z "$cert" ]; then
  echo "build-installer.sh: --pkcs11-module and --timestamp go with --cert and --key" >&2
  exit 2
fi
if [ -n "$published" ] && [ -n "$cert" ]; then
  echo "build-installer.sh: --signature-from checks a published package and signs nothing: no --cert with it" >&2
  exit 2
fi
epoch=${SOURCE_DATE_EPOCH:-$(date +%s)}
[[ $epoch =~ ^[0-9]+$ ]] || { echo "build-installer.sh: SOURCE_DATE_EPOCH '$epoch' is not a number of seconds" >&2; exit 2; }
# A failed build leaves no package of an earlier one where this one belongs.
rm -f "$output"
for tool in wixl wixl-heat msibuild msiinfo python3; do
  command -v "$tool" >/dev/null || { echo "build-installer.sh: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# wixl takes sources relative to where it runs: everything is staged under the names it installs.
# Copies, each with the build's time: the cabinet takes every file's own.
stage=$work/stage
mkdir "$stage" "$stage/app"
cp "$launcher" "$stage/AttendantLauncher.exe"
cp "$capture" "$stage/qmr_dshow.dll"
cp "$logo" "$stage/logo.png"
cp "$jar" "$stage/app/bootloader.jar"
cp -rL "$runtime" "$stage/jre"
find "$stage" -exec touch -d "@$epoch" {} +
cp "$here/Attendant.wxs" "$stage/"
upgrade_code=$(sed -n 's/.*UpgradeCode="\([0-9A-F-]*\)".*/\1/p' "$here/Attendant.wxs")
[ -n "$upgrade_code" ] || { echo "build-installer.sh: no UpgradeCode in Attendant.wxs" >&2; exit 1; }
# name_uuid TEXT: a name-based UUID of TEXT in the product's own namespace, its upgrade code.
name_uuid() {
  python3 -c 'import sys, uuid; print("{%s}" % str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2])).upper())' \
    "$upgrade_code" "$1"
}
product_code=$(name_uuid "product $version $arch")
(cd "$stage" && find jre -type f | LC_ALL=C sort) |
  wixl-heat --var var.Stage --directory-ref INSTALLDIR --component-group Runtime -p "" |
  "$here/stable-directory-ids.py" >"$stage/runtime.wxs"
(cd "$stage" && wixl -a "$arch" -o "$work/product.msi" -D Version="$version" -D ProductCode="$product_code" -D Stage=. \
  Attendant.wxs runtime.wxs)

# What wixl has no syntax for. The old version goes before anything of the new one is installed, so
# that no file of it is left and the new launcher is never started beside it; the start runs in the
# installation directory (type 34) and is not waited for (0x40 | 0x80).
msibuild "$work/product.msi" \
  -q "UPDATE Component SET Condition = 'BRANDING' WHERE Component = 'Branding'" \
  -q "UPDATE InstallExecuteSequence SET Sequence = 1501 WHERE Action = 'RemoveExistingProducts'" \
  -q "UPDATE CustomAction SET Type = 226 WHERE Action = 'StartLauncher'"
sequence=$(msiinfo export "$work/product.msi" InstallExecuteSequence)
grep -qP '^InstallInitialize\t\t1500\r?$' <<<"$sequence" || { echo "build-installer.sh: InstallInitialize moved; RemoveExistingProducts no longer follows it" >&2; exit 1; }
grep -qP '^RemoveExistingProducts\t\t1501\r?$' <<<"$sequence" || { echo "build-installer.sh: RemoveExistingProducts was not rescheduled" >&2; exit 1; }
grep -qP '^StartLauncher\t226\tINSTALLDIR\t' <<<"$(msiinfo export "$work/product.msi" CustomAction)" || { echo "build-installer.sh: StartLauncher was not made a directory action" >&2; exit 1; }

# wixl writes a random package code and the current time into the summary: the time becomes the
# build's, and the code one that follows from everything else in the package.
"$here/msi-summary.py" "$work/product.msi" "{00000000-0000-0000-0000-000000000000}" "$epoch"
package_code=$(name_uuid "package $(sha256sum <"$work/product.msi" | cut -d' ' -f1)")
"$here/msi-summary.py" "$work/product.msi" "$package_code" "$epoch"
grep -qxF "Revision number (UUID): $package_code" <<<"$(msiinfo suminfo "$work/product.msi")" ||
  { echo "build-installer.sh: the package code did not take" >&2; exit 1; }

mkdir -p "$(dirname "$output")"
if [ -n "$cert" ]; then
  sign_options=()
  [ -z "$module" ] || sign_options+=(--pkcs11-module "$module")
  [ -z "$timestamp" ] || sign_options+=(--timestamp "$timestamp")
  "$here/../scripts/sign.sh" "${sign_options[@]}" "$cert" "$key" "$work/product.msi" "$output"
elif [ -n "$published" ]; then
  mv -f "$work/product.msi" "$output"
  "$here/../scripts/attach-signature.sh" "$published" "$output"
else
  mv -f "$work/product.msi" "$output"
fi
