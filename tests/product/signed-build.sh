#!/usr/bin/env bash
# Builds the launcher, the capture library and the installer signed with a throw-away certificate in
# a build tree of their own, checks every signature and its signer, and runs the signed launcher.
#   signed-build.sh SOURCE_DIR BUILD_DIR WINE_RUN ENVRUN TOOLCHAIN_FILE INSTALLER_NAME [CMAKE_ARG...]
# The CMake arguments must name the runtime and application to ship (QMR_INSTALLER_RUNTIME and
# QMR_INSTALLER_JAR), which the signed launcher then runs.
set -euo pipefail
src=$1 build=$2 wine_run=$3 envrun=$4 toolchain=$5 installer=$6
shift 6
. "$src/tests/packages/throwaway-certificate.sh"
keys=$(mktemp -d)
trap 'rm -rf "$keys"' EXIT
throwaway_certificate "$keys" quillon-ab "Quillon AB"

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DQMR_SIGN_CERT="$keys/quillon-ab.chain" -DQMR_SIGN_KEY="$keys/quillon-ab.key" "$@" >/dev/null
cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version=$(cached CMAKE_PROJECT_VERSION)
runtime=$(cached QMR_INSTALLER_RUNTIME)
jar=$(cached QMR_INSTALLER_JAR)
[ -n "$runtime" ] && [ -n "$jar" ] || { echo "signed-build.sh: give QMR_INSTALLER_RUNTIME and QMR_INSTALLER_JAR" >&2; exit 2; }
shipped=(AttendantLauncher.exe qmr_dshow.dll "$installer")
# The keys are new on every run: what an earlier run signed must be made again.
for f in "${shipped[@]}"; do rm -f "$build/bin/$f"; done
cmake --build "$build" --target AttendantLauncher qmr_dshow installer >/dev/null

for f in "${shipped[@]}"; do
  report=$(osslsigncode verify -CAfile "$keys/quillon-ab.pem" "$build/bin/$f" 2>&1) ||
    { echo "$report" >&2; echo "signed-build.sh: $f does not verify" >&2; exit 1; }
  grep -q 'Subject: /CN=Quillon AB' <<<"$report" || { echo "$report" >&2; echo "signed-build.sh: $f has another signer" >&2; exit 1; }
  echo "signed and verified: $f"
done

# The signed launcher, installed beside the runtime and the application it ships, runs the application.
inst=$build/signed-run
rm -rf "$inst"
mkdir -p "$inst/app" "$inst/temp"
cp "$build/bin/AttendantLauncher.exe" "$inst/"
cp -r "$runtime" "$inst/jre"
cp "$jar" "$inst/app/bootloader.jar"
printf 'main=exit:7\n' >"$inst/app/scenario.txt"
win() { printf 'Z:%s' "${1//\//\\}"; }
out=$(cd "$inst" && "$wine_run" "$envrun" "TMP=$(win "$inst/temp")" "TEMP=$(win "$inst/temp")" \
  -- "$(win "$inst/AttendantLauncher.exe")" | tr -d '\r')
grep -qx 'exit code 7' <<<"$out" || { echo "$out" >&2; echo "signed-build.sh: the signed launcher did not end with the application's code" >&2; exit 1; }
grep -qx "version $version" "$inst/app/record.txt" && grep -qx 'exit 7' "$inst/app/record.txt" ||
  { echo "signed-build.sh: the application did not run" >&2; exit 1; }
echo "the signed launcher ran the application: $out"
