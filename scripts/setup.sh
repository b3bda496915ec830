#!/usr/bin/env bash
# Installs the cross compilers, 32-bit Wine and the test tools on a Debian machine. Run as root; idempotent.
set -euo pipefail

packages=(
  cmake ninja-build clang-format python3
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix gcc-mingw-w64-x86-64-posix
  wine wine32:i386 wine64
  xvfb xauth x11-utils
  msitools wixl osslsigncode openssl
  googletest openjdk-17-jdk-headless
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "setup.sh: needs root to install: ${missing[*]}" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi

# One i386 index has been seen failing while the rest is fine; the install below copes with that.
apt-get update || echo "setup.sh: apt-get update reported errors; trying the install anyway" >&2

stable=$(. /etc/os-release && echo "${VERSION_CODENAME:-stable}")
if ! apt-get install -y --no-install-recommends "${missing[@]}"; then
  # Version skew between the amd64 and i386 indexes: pin everything to the stable suite.
  apt-get install -y --no-install-recommends -t "$stable" "${missing[@]}"
fi
