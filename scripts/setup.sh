#!/usr/bin/env bash
# Installs the cross compilers, 32-bit Wine and the test tools on a Debian machine. Run as root; idempotent.
set -euo pipefail
. "$(dirname "$0")/debian-archive.sh"

packages=(
  cmake ninja-build python3
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  wine wine32:i386 wine64
  xvfb xauth x11-utils
  msitools wixl osslsigncode openssl python3-cryptography
  # Signing with a key in a token through OpenSSL's PKCS#11 engine; the tests' token is SoftHSM2's,
  # set up with pkcs11-tool.
  libengine-pkcs11-openssl softhsm2 opensc
  googletest libz-mingw-w64-dev
  # The peer library the 4:2:0 conversion's benchmark measures against (bench/run-yuv420.sh).
  libyuv-dev
  # The real test runtime (Avian) is built from source: its makefile, its host tools (which need
  # zlib's header) and its class library.
  make g++ git zlib1g-dev
  # The format check runs this one version, which Debian 12 and 13 both carry, so that every machine
  # judges alike.
  clang-format-19
)
# A JDK of 17 or later compiles the application and Avian's class library; the first of these that is
# installed, or else that the archive has, is used (Debian 12 has 17, Debian 13 has 21 and 25).
jdks=(openjdk-17-jdk-headless openjdk-21-jdk-headless openjdk-25-jdk-headless)

stable=$(. /etc/os-release && echo "${VERSION_CODENAME:-stable}")
export DEBIAN_FRONTEND=noninteractive

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup.sh: needs root to $*" >&2
    exit 1
  fi
}

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
jdk=
for p in "${jdks[@]}"; do
  if installed "$p"; then
    jdk=$p
    break
  fi
done
if [ "${#missing[@]}" -ne 0 ] || [ -z "$jdk" ]; then
  need_root "install: ${missing[*]}$([ -n "$jdk" ] || echo " a JDK of 17 or later")"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi

  # One i386 index has been seen failing while the rest is fine; the install below copes with that.
  apt-get update || echo "setup.sh: apt-get update reported errors; trying the install anyway" >&2
  if [ -z "$jdk" ]; then
    for p in "${jdks[@]}"; do
      if grep -q 'Candidate: [0-9]' <<<"$(apt-cache policy "$p" 2>/dev/null)"; then
        jdk=$p
        break
      fi
    done
    [ -n "$jdk" ] || { echo "setup.sh: the archive has none of ${jdks[*]}" >&2; exit 1; }
    missing+=("$jdk")
  fi

  if ! apt-get install -y --no-install-recommends "${missing[@]}"; then
    # Version skew between the amd64 and i386 indexes: pin everything to the stable suite.
    apt-get install -y --no-install-recommends -t "$stable" "${missing[@]}"
  fi
fi

# Some virtual machines run 64-bit user code only: their kernel refuses every 32-bit program, Wine's
# own loader included. There, 32-bit programs run under QEMU's user-mode emulator, registered with
# the kernel's binfmt_misc. The emulator has to be 10.0 or later: 7.2's address-space handling makes
# Wine spin for ever while it reserves memory.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  exit 0
fi
emulator=/usr/bin/qemu-i386
binfmt=/proc/sys/fs/binfmt_misc
need_root "run 32-bit programs through QEMU's user-mode emulator"
version=$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null || true)
if [ -z "$version" ] || dpkg --compare-versions "$version" lt 1:10.0; then
  if ! grep -q " $stable-backports/" <<<"$(apt-cache policy)"; then
    read -r uri key < <(debian_archive "$stable") || true
    [ -n "${uri:-}" ] || { echo "setup.sh: no source in /etc/apt names the $stable suite" >&2; exit 1; }
    echo "deb ${key:+[signed-by=$key] }$uri $stable-backports main" >/etc/apt/sources.list.d/backports.list
  fi
  apt-get update || echo "setup.sh: apt-get update reported errors; trying the install anyway" >&2
  apt-get install -y --no-install-recommends -t "$stable-backports" qemu-user
fi
[ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
[ -e "$binfmt/qemu-i386" ] && echo -1 >"$binfmt/qemu-i386"
# i386 ELF executables and shared objects; F opens the emulator now, so it also serves inside chroots
# and namespaces.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
printf ':qemu-i386:M::%s:%s:%s:F\n' "$magic" "$mask" "$emulator" >"$binfmt/register"
if ! /usr/lib/wine/wine --version >/dev/null; then
  echo "setup.sh: 32-bit programs still do not run, even through $emulator" >&2
  exit 1
fi
echo "setup.sh: this kernel runs no 32-bit programs; they run through $emulator ($(dpkg-query -W -f='${Version}' qemu-user))"
