#!/usr/bin/env bash
# Builds the Windows Installer packages the upgrade tests install or reject, signed with throw-away
# certificates made here and now: nothing secret is kept, and each run has new keys and product codes.
#   make-packages.sh OUTPUT_DIR [x86|x64]
# The packages are for the architecture of the tests that install them (x86 by default), so that they
# install into that architecture's Program Files folder.
# Output: <name>.msi for every package below, and quillon-ab.der, the certificate of the "Quillon AB" key.
set -euo pipefail

out=${1:?usage: make-packages.sh OUTPUT_DIR [x86|x64]}
arch=${2:-x86}
case $arch in
  x86) program_files=ProgramFilesFolder ;;
  x64) program_files=ProgramFiles64Folder ;;
  *) echo "make-packages.sh: unknown architecture $arch" >&2; exit 2 ;;
esac
here=$(cd "$(dirname "$0")" && pwd)
. "$here/throwaway-certificate.sh"
for tool in openssl wixl osslsigncode; do
  command -v "$tool" >/dev/null || { echo "make-packages.sh: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -rf "$out"
mkdir -p "$out"

guid() { cat /proc/sys/kernel/random/uuid; }

# certificate NAME SUBJECT_CN [ISSUER_NAME]: a key and certificate in $work; self-signed without an issuer.
certificate() { throwaway_certificate "$work" "$@"; }

# package NAME TITLE: an unsigned package in $work that installs one file into
# "Program Files\Quillon Upgrade Tests\NAME" and, only when STARTAFTERINSTALL="1", leaves the marker
# started-after-install.txt there with that property's value.
package() {
  local name=$1 title=$2
  mkdir -p "$work/$name"
  printf 'payload of %s\r\n' "$name" >"$work/$name/payload.txt"
  # "echo 1>file" would redirect handle 1, hence the name in front of the value.
  cat >"$work/$name/package.wxs" <<WXS
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="$(guid)" Name="$title" Language="1033" Version="1.0.0" Manufacturer="Quillon AB"
           UpgradeCode="$(guid)">
    <Package InstallerVersion="200" Compressed="yes" InstallScope="perMachine"/>
    <Media Id="1" Cabinet="payload.cab" EmbedCab="yes"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="$program_files">
        <Directory Id="TESTSDIR" Name="Quillon Upgrade Tests">
          <Directory Id="INSTALLDIR" Name="$name">
            <Component Id="Payload" Guid="$(guid)">
              <File Id="PayloadFile" Name="payload.txt" Source="payload.txt"/>
            </Component>
          </Directory>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Main" Level="1"><ComponentRef Id="Payload"/></Feature>
    <Property Id="MARKERCOMMAND" Value="cmd.exe"/>
    <CustomAction Id="LeaveMarker" Property="MARKERCOMMAND" Return="check"
                  ExeCommand='/c echo STARTAFTERINSTALL=[STARTAFTERINSTALL]&gt;"[INSTALLDIR]started-after-install.txt"'/>
    <InstallExecuteSequence>
      <Custom Action="LeaveMarker" After="InstallFinalize">STARTAFTERINSTALL="1"</Custom>
    </InstallExecuteSequence>
  </Product>
</Wix>
WXS
  (cd "$work/$name" && wixl -a "$arch" -o "$work/$name.msi" package.wxs)
}

# sign UNSIGNED SIGNER OUTPUT, as the build signs what it ships
sign() {
  "$here/../../scripts/sign.sh" "$work/$2.chain" "$work/$2.key" "$1" "$3"
}

certificate quillon-ab "Quillon AB"
certificate quillon-ab-lower "quillon ab"
certificate quillon "Quillon"
certificate quillon-ab-ltd "Quillon AB Ltd"
certificate x-quillon-ab "X Quillon AB"
certificate other-publisher "Other Publisher" quillon-ab
# Names that only look like the publisher's: fullwidth A and B (U+FF21 U+FF22), and the name followed
# by a NUL and more, which a comparison of terminated strings would stop at.
"$here/lookalike-certificate.py" "$work" quillon-ab-fullwidth 'Quillon \uff21\uff22'
"$here/lookalike-certificate.py" "$work" quillon-ab-nul 'Quillon AB\x00 and more'
openssl x509 -in "$work/quillon-ab.pem" -outform DER -out "$out/quillon-ab.der"

# Packages that are installed for real: one each, so that no two tests install the same product.
for name in install-in-process install-cycle install-at-startup install-blank-temp install-ampersand-temp \
  install-accented-temp install-unspellable-temp install-planted-programs install-real-vm; do
  package "$name" "Quillon upgrade test $name"
  sign "$work/$name.msi" quillon-ab "$out/$name.msi"
done

# Packages that are only verified and rejected (or verified without being installed).
package rejected "Quillon upgrade test rejected"
cp "$work/rejected.msi" "$out/unsigned.msi"
for signer in quillon-ab quillon-ab-lower quillon quillon-ab-ltd x-quillon-ab other-publisher quillon-ab-fullwidth \
  quillon-ab-nul; do
  sign "$work/rejected.msi" "$signer" "$out/signed-by-$signer.msi"
done

# A signed package with one byte of its content changed afterwards: a letter of the product name in
# the string pool, so the file stays a well-formed package whose signature no longer matches.
package tampered "Quillon upgrade test tampered"
sign "$work/tampered.msi" quillon-ab "$out/tampered.msi"
offset=$(grep -obUa "test tampered" "$out/tampered.msi" | head -n1 | cut -d: -f1)
[ -n "$offset" ] || { echo "make-packages.sh: product name not found in tampered.msi" >&2; exit 1; }
printf 'T' | dd of="$out/tampered.msi" bs=1 seek="$offset" conv=notrunc status=none

# The signatures must be what the tests take them for.
osslsigncode verify -CAfile "$work/quillon-ab.pem" "$out/install-cycle.msi" >/dev/null
osslsigncode verify -CAfile "$work/quillon-ab.pem" "$out/signed-by-other-publisher.msi" >/dev/null
if osslsigncode verify -CAfile "$work/quillon-ab.pem" "$out/tampered.msi" >/dev/null 2>&1; then
  echo "make-packages.sh: tampered.msi still verifies" >&2
  exit 1
fi
if osslsigncode verify "$out/unsigned.msi" >/dev/null 2>&1; then
  echo "make-packages.sh: unsigned.msi carries a signature" >&2
  exit 1
fi
echo "make-packages.sh: $(ls "$out" | wc -l) files in $out"
