#!/usr/bin/env bash
# Builds the product's Windows Installer package with wixl, and signs it when given a certificate.
#   build-installer.sh --version X.Y.Z --launcher EXE --capture DLL --logo PNG --jar JAR --runtime DIR
#                      --output MSI [--arch x86|x64] [--cert PEM --key PEM]
# DIR is the Java runtime that is installed as "jre" beside the launcher; the jar becomes app\bootloader.jar.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
usage() { echo "usage: build-installer.sh --version X.Y.Z --launcher EXE --capture DLL --logo PNG --jar JAR --runtime DIR --output MSI [--arch x86|x64] [--cert PEM --key PEM]" >&2; exit 2; }
version= launcher= capture= logo= jar= runtime= output= cert= key= arch=x86
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || usage
  case $1 in
    --version) version=$2 ;; --launcher) launcher=$2 ;; --capture) capture=$2 ;; --logo) logo=$2 ;;
    --jar) jar=$2 ;; --runtime) runtime=$2 ;; --output) output=$2 ;; --cert) cert=$2 ;; --key) key=$2 ;; --arch) arch=$2 ;;
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
for tool in wixl wixl-heat msibuild msiinfo; do
  command -v "$tool" >/dev/null || { echo "build-installer.sh: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
abs() { (cd "$(dirname "$1")" && echo "$(pwd)/$(basename "$1")"); }

# wixl takes sources relative to where it runs: everything is staged under the names it installs.
stage=$work/stage
mkdir "$stage" "$stage/app"
ln -s "$(abs "$launcher")" "$stage/AttendantLauncher.exe"
ln -s "$(abs "$capture")" "$stage/qmr_dshow.dll"
ln -s "$(abs "$logo")" "$stage/logo.png"
ln -s "$(abs "$jar")" "$stage/app/bootloader.jar"
ln -s "$(abs "$runtime")" "$stage/jre"
cp "$here/Attendant.wxs" "$stage/"
(cd "$stage" && find -L jre -type f | LC_ALL=C sort) |
  wixl-heat --var var.Stage --directory-ref INSTALLDIR --component-group Runtime -p "" >"$stage/runtime.wxs"
(cd "$stage" && wixl -a "$arch" -o "$work/product.msi" -D Version="$version" -D Stage=. Attendant.wxs runtime.wxs)

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

mkdir -p "$(dirname "$output")"
if [ -n "$cert" ]; then
  "$here/../scripts/sign.sh" "$cert" "$key" "$work/product.msi" "$output"
else
  mv -f "$work/product.msi" "$output"
fi
