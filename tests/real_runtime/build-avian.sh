#!/usr/bin/env bash
# Builds Avian's jvm.dll for 32-bit Windows in its unpacked source tree. Called once per build tree by
# the avian external project.
#   build-avian.sh SOURCE_DIR EXPECTED_COMMIT JNI_MD_H CXX CC [COMPILER_LAUNCHER]
set -euo pipefail
src=$1 commit=$2 jni_md=$3 cxx=$4 cc=$5 launcher=${6:-}
: "${JAVA_HOME:?JAVA_HOME must name the JDK that compiles the class library}"

# A clone (no tarball beside the project) must be at the expected commit; a tarball was checked by hash.
if [ -d "$src/.git" ]; then
  head=$(git -C "$src" rev-parse HEAD)
  [ "$head" = "$commit" ] || { echo "build-avian.sh: $src is at $head, not $commit" >&2; exit 1; }
fi

# The makefile wants a Windows jni_md.h (the Linux JDK has none) and zlib from win32/include and
# win32/lib; with only libz.a there, zlib is linked in statically.
win32=$src/qmr-win32
mkdir -p "$win32/include" "$win32/lib"
cp "$jni_md" "$win32/include/jni_md.h"
zlib=$("$cc" -print-file-name=libz.a)
[ -f "$zlib" ] || { echo "build-avian.sh: no libz.a for $cc (libz-mingw-w64-dev)" >&2; exit 1; }
cp "$zlib" "$win32/lib/libz.a"

# java-version=8: the makefile misreads JDK 17's version string. Only the DLL is built: the default
# target also compiles Avian's own tests, which javac 17 refuses.
cd "$src"
exec make -j2 platform=windows arch=i386 java-version=8 win32="$win32" extra-lflags=-static-libgcc \
  cxx="${launcher:+$launcher }$cxx -m32" cc="${launcher:+$launcher }$cc -m32" build/windows-i386/jvm.dll
