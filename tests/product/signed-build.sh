#!/usr/bin/env bash
# Builds the launcher, the capture library and the installer signed, in a build tree of their own, the
# two ways a release can be signed, and checks every signature, its signer and its timestamp:
#  1. with a throw-away key file;
#  2. with that key in a token (SoftHSM2; the key file is deleted once imported) and an RFC 3161
#     timestamp from an authority on the loopback that this script starts and stops. The token's PIN,
#     given to the build in QMR_SIGN_PIN only, must be in no file of the build tree, in no output and
#     on no command line while the build runs.
# Then it runs the signed launcher, and makes signing fail the ways it can at build time (no PIN, a
# wrong PIN, an authority that cannot be reached), each of which must fail the build with a clear
# message and leave none of the shipped files, and at configure time.
#   signed-build.sh SOURCE_DIR BUILD_DIR WINE_RUN ENVRUN TOOLCHAIN_FILE INSTALLER_NAME [CMAKE_ARG...]
# The CMake arguments must name the runtime and application to ship (QMR_INSTALLER_RUNTIME and
# QMR_INSTALLER_JAR), which the signed launcher then runs.
set -euo pipefail
src=$1 build=$2 wine_run=$3 envrun=$4 toolchain=$5 installer=$6
shift 6
cmake_args=("$@")
. "$src/tests/packages/throwaway-certificate.sh"
. "$src/tests/packages/throwaway-token.sh"
. "$src/tests/packages/timestamp-authority.sh"
keys=$(mktemp -d)
watcher=
cleanup() {
  [ -z "$watcher" ] || kill "$watcher" 2>/dev/null || true
  stop_timestamp_authority
  rm -rf "$keys"
}
trap cleanup EXIT
fail() { echo "signed-build.sh: $*" >&2; exit 1; }
throwaway_certificate "$keys" quillon-ab "Quillon AB"
cert=$keys/quillon-ab.chain
shipped=(AttendantLauncher.exe qmr_dshow.dll "$installer")

# configure CMAKE_ARG...: the tree with this run's shipped runtime and application, and the arguments.
configure() {
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    "${cmake_args[@]}" "$@" >"$keys/configure.log" 2>&1
}
# build: makes the shipped files anew (each pass signs with other keys or settings) into build.log.
build() {
  for f in "${shipped[@]}"; do rm -f "$build/bin/$f"; done
  cmake --build "$build" --target AttendantLauncher qmr_dshow installer >"$keys/build.log" 2>&1
}
# verify [TSA_CERT]: every shipped file verifies, signed by Quillon AB; with TSA_CERT also timestamped by it.
verify() {
  local f report
  for f in "${shipped[@]}"; do
    report=$(osslsigncode verify -CAfile "$keys/quillon-ab.pem" ${1:+-TSA-CAfile "$1"} "$build/bin/$f" 2>&1) ||
      { echo "$report" >&2; fail "$f does not verify"; }
    grep -q 'Subject: /CN=Quillon AB' <<<"$report" || { echo "$report" >&2; fail "$f has another signer"; }
    if [ -n "${1:-}" ]; then
      grep -q 'Timestamp Server Signature verification: ok' <<<"$report" ||
        { echo "$report" >&2; fail "$f carries no valid timestamp"; }
      echo "signed from the token, timestamped and verified: $f"
    else
      echo "signed and verified: $f"
    fi
  done
}
# holds_pin FILE...: whether any of them holds the PIN (which goes to grep through a pipe, not its command line).
holds_pin() { grep -rlF -f <(printf '%s\n' "$QMR_SIGN_PIN") "$@" 2>/dev/null; }
# Notes every process whose command line holds the PIN, until it is stopped.
watch_command_lines() {
  local f args
  while :; do
    for f in /proc/[0-9]*/cmdline; do
      { mapfile -d '' -t args <"$f"; } 2>/dev/null || continue
      [[ "${args[*]}" != *"$QMR_SIGN_PIN"* ]] || echo "${args[0]}" >>"$keys/pin-on-command-line"
    done
    sleep 0.02
  done
}

# 1. A key file.
configure -DQMR_SIGN_CERT="$cert" -DQMR_SIGN_KEY="$keys/quillon-ab.key" -DQMR_SIGN_PKCS11_MODULE= \
  -DQMR_TIMESTAMP_URL= || { cat "$keys/configure.log" >&2; fail "the tree did not configure with a key file"; }
build || { cat "$keys/build.log" >&2; fail "the build signed with a key file failed"; }
verify

# 2. The same key in a token, and a timestamp.
throwaway_token "$keys" quillon-ab
[ ! -e "$keys/quillon-ab.key" ] || fail "the key file is still there after its import into the token"
mkdir "$keys/tsa"
start_timestamp_authority "$keys/tsa" 600
token_args=(-DQMR_SIGN_CERT="$cert" -DQMR_SIGN_KEY="$token_key" -DQMR_SIGN_PKCS11_MODULE="$token_module")
configure "${token_args[@]}" -DQMR_TIMESTAMP_URL="$tsa_url" ||
  { cat "$keys/configure.log" >&2; fail "the tree did not configure with a key in a token"; }
watch_command_lines &
watcher=$!
status=0
build || status=$?
kill "$watcher"
wait "$watcher" 2>/dev/null || true
watcher=
[ "$status" -eq 0 ] || { cat "$keys/build.log" >&2; fail "the build signed from the token failed"; }
verify "$tsa_cert"
[ ! -e "$keys/pin-on-command-line" ] || fail "the PIN was on the command line of: $(sort -u "$keys/pin-on-command-line" | tr '\n' ' ')"
found=$(holds_pin "$build" "$keys/configure.log" "$keys/build.log" || true)
[ -z "$found" ] || fail "the PIN is written in: $found"
echo "the PIN is in no file of the build tree, in no output and was on no command line"

# The signed launcher, installed beside the runtime and the application it ships, runs the application.
cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version=$(cached CMAKE_PROJECT_VERSION)
runtime=$(cached QMR_INSTALLER_RUNTIME)
jar=$(cached QMR_INSTALLER_JAR)
[ -n "$runtime" ] && [ -n "$jar" ] || { echo "signed-build.sh: give QMR_INSTALLER_RUNTIME and QMR_INSTALLER_JAR" >&2; exit 2; }
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
grep -qx 'exit code 7' <<<"$out" || { echo "$out" >&2; fail "the signed launcher did not end with the application's code"; }
grep -qx "version $version" "$inst/app/record.txt" && grep -qx 'exit 7' "$inst/app/record.txt" ||
  fail "the application did not run"
echo "the signed launcher ran the application: $out"

# Signing that fails at build time: NAME | PIN (the token's, a wrong one, or unset) | authority | what
# the build must say.
unreachable=$tsa_url
while IFS='|' read -r name given authority message; do
  if [ "$authority" = unreachable ]; then
    # The authority that served until now, stopped: nothing listens at its address any more.
    stop_timestamp_authority
    authority=$unreachable
  else
    authority=$tsa_url
  fi
  configure "${token_args[@]}" -DQMR_TIMESTAMP_URL="$authority" || { cat "$keys/configure.log" >&2; fail "$name: did not configure"; }
  status=0
  case $given in
    unset) (unset QMR_SIGN_PIN && build) || status=$? ;;
    wrong) QMR_SIGN_PIN=not-the-pin build || status=$? ;;
    *) build || status=$? ;;
  esac
  [ "$status" -ne 0 ] || fail "$name: the build succeeded"
  grep -qF "$message" "$keys/build.log" || { cat "$keys/build.log" >&2; fail "$name: the build did not say '$message'"; }
  for f in "${shipped[@]}"; do
    [ ! -e "$build/bin/$f" ] || fail "$name: $f is left although the build failed"
  done
  echo "$name: the build failed, saying '$message', and left none of the shipped files"
done <<EOF
no PIN|unset|serving|the token's PIN is read from the environment variable QMR_SIGN_PIN, which is not set
a wrong PIN|wrong|serving|could not sign
an unreachable time-stamping authority|token's|unreachable|no timestamp from $unreachable
EOF

# Settings that must stop the configuration: NAME | CMake argument | what CMake must say. A PIN given
# to CMake (a stand-in, not the token's) must not stay in its cache either.
cmake_pin=given-to-cmake-$(od -An -N8 -tx1 /dev/urandom | tr -d ' \n')
while IFS='|' read -r name argument message; do
  if configure "${token_args[@]}" -DQMR_TIMESTAMP_URL= "$argument"; then fail "$name: the tree configured"; fi
  # CMake wraps its messages.
  grep -qF "$message" <<<"$(tr -s '[:space:]' ' ' <"$keys/configure.log")" ||
    { cat "$keys/configure.log" >&2; fail "$name: CMake did not say '$message'"; }
  ! grep -rqF "$cmake_pin" "$build" || fail "$name: the PIN stayed in the build tree"
  echo "$name: refused, saying '$message'"
done <<EOF
a key in a token without its module|-DQMR_SIGN_PKCS11_MODULE=|set QMR_SIGN_PKCS11_MODULE to the token's PKCS#11 module
the PIN given to CMake|-DQMR_SIGN_PIN=$cmake_pin|Do not give QMR_SIGN_PIN to CMake
the PIN in the key's URI|-DQMR_SIGN_KEY=$token_key?pin-value=$cmake_pin|QMR_SIGN_KEY must not carry the PIN
EOF
