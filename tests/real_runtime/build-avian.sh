#!/usr/bin/env bash
# Builds Avian's jvm.dll for Windows (i386 or x86_64) in its unpacked source tree. Called once per build
# tree by the avian external project.
#   build-avian.sh SOURCE_DIR EXPECTED_COMMIT ARCH JNI_MD_H CXX CC [COMPILER_LAUNCHER]
set -euo pipefail
src=$1 commit=$2 arch=$3 jni_md=$4 cxx=$5 cc=$6 launcher=${7:-}
: "${JAVA_HOME:?JAVA_HOME must name the JDK that compiles the class library}"

# A clone (no tarball beside the project) must be at the expected commit; a tarball was checked by hash.
if [ -d "$src/.git" ]; then
  head=$(git -C "$src" rev-parse HEAD)
  [ "$head" = "$commit" ] || { echo "build-avian.sh: $src is at $head, not $commit" >&2; exit 1; }
fi

# The makefile wants a Windows jni_md.h (the Linux JDK has none) and zlib from win32/include and
# win32/lib (win64/ for x86_64); with only libz.a there, zlib is linked in statically.
case $arch in
  i386) sdk=win32 bits=-m32 ;;
  x86_64) sdk=win64 bits=-m64 ;;
  *) echo "build-avian.sh: unknown architecture $arch" >&2; exit 2 ;;
esac
win32=$src/qmr-$sdk
mkdir -p "$win32/include" "$win32/lib"
cp "$jni_md" "$win32/include/jni_md.h"
zlib=$("$cc" -print-file-name=libz.a)
[ -f "$zlib" ] || { echo "build-avian.sh: no libz.a for $cc (libz-mingw-w64-dev)" >&2; exit 1; }
cp "$zlib" "$win32/lib/libz.a"

# java-version=8: the makefile misreads JDK 17's version string. Only the DLL is built: the default
# target also compiles Avian's own tests, which javac 17 refuses.
cd "$src"
exec make -j2 platform=windows arch="$arch" java-version=8 "$sdk=$win32" extra-lflags=-static-libgcc \
  cxx="${launcher:+$launcher }$cxx $bits" cc="${launcher:+$launcher }$cc $bits" "build/windows-$arch/jvm.dll"
