#!/usr/bin/env bash
# Two builds of the source's commit, from clean clones in different folders, in different time zones
# and with different umasks, must make the same unsigned launcher, capture library and installer, byte
# for byte, at the commit's time (or at SOURCE_DATE_EPOCH when it is set). Then the release check of
# the README: one clone's build is signed with a timestamp and its installer taken as the published
# release; the other, configured with QMR_SIGNATURES_FROM and what it extracts from that installer,
# attaches the published signatures to what it builds and must come out identical; a published file
# that is not what the source builds must fail that build.
#   reproducible-build.sh SOURCE_DIR WORK_DIR TOOLCHAIN_FILE INSTALLER_NAME PE_INFO [CMAKE_ARG...]
# The CMake arguments name the runtime and application both builds ship (QMR_INSTALLER_RUNTIME and
# QMR_INSTALLER_JAR), the same files for both.
set -euo pipefail
src=$1 work=$2 toolchain=$3 installer=$4 pe_info=$5
shift 5
cmake_args=("$@")
. "$src/tests/packages/throwaway-certificate.sh"
. "$src/tests/packages/timestamp-authority.sh"
fail() { echo "reproducible-build.sh: $*" >&2; exit 1; }
shipped=(AttendantLauncher.exe qmr_dshow.dll "$installer")
toolchain_name=$(basename "$toolchain")

commit=$(git -C "$src" rev-parse HEAD)
commit_time=$(git -C "$src" log -1 --format=%ct)
[ -z "$(git -C "$src" status --porcelain --untracked-files=no)" ] ||
  echo "reproducible-build.sh: building commit $commit; the working tree's changes are not part of it"
rm -rf "$work"
one=$work/one/src
two=$work/somewhere/else/entirely/attendant
for clone in "$one" "$two"; do
  git clone -q --no-hardlinks "$src" "$clone"
  git -C "$clone" checkout -q --detach "$commit"
done

# configure CLONE CMAKE_ARG...: its tree is CLONE-build.
configure() {
  local clone=$1
  shift
  cmake -S "$clone" -B "$clone-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$clone/cmake/$toolchain_name" \
    -DCMAKE_BUILD_TYPE=Release "${cmake_args[@]}" "$@" >"$work/configure.log" 2>&1 ||
    { cat "$work/configure.log" >&2; fail "$clone did not configure"; }
}
# build CLONE [TARGET...]: makes the targets anew (the shipped ones by default) into build.log.
build() {
  local clone=$1 f
  shift
  [ $# -gt 0 ] || set -- AttendantLauncher qmr_dshow installer
  for f in "${shipped[@]}"; do rm -f "$clone-build/bin/$f"; done
  cmake --build "$clone-build" --target "$@" >"$work/build.log" 2>&1
}
built() { build "$@" || { cat "$work/build.log" >&2; fail "$1 did not build"; }; }
pe_time() { sed -n 's/^timestamp //p' <<<"$("$pe_info" "$1")"; }
msi_time() { LC_ALL=C TZ=UTC msiinfo suminfo "$1" | sed -n 's/^Created: //p'; }
utc() { LC_ALL=C date -u -d "@$1" '+%a %b %e %H:%M:%S %Y'; }

configure "$one"
(umask 022 && TZ=UTC build "$one") || { cat "$work/build.log" >&2; fail "$one did not build"; }
configure "$two"
(umask 077 && TZ=Asia/Tokyo build "$two") || { cat "$work/build.log" >&2; fail "$two did not build"; }
for f in "${shipped[@]}"; do
  if ! cmp "$one-build/bin/$f" "$two-build/bin/$f"; then
    cmp -l "$one-build/bin/$f" "$two-build/bin/$f" | head -n 8 >&2 || true
    fail "$f differs between the two builds of $commit"
  fi
  echo "the same in both builds: $f"
done
for f in AttendantLauncher.exe qmr_dshow.dll; do
  [ "$(pe_time "$one-build/bin/$f")" = "$commit_time" ] || fail "$f's time stamp is $(pe_time "$one-build/bin/$f"), not the commit's $commit_time"
done
[ "$(msi_time "$one-build/bin/$installer")" = "$(utc "$commit_time")" ] ||
  fail "the installer was made $(msi_time "$one-build/bin/$installer"), not at the commit's time $(utc "$commit_time")"
echo "made at the commit's time, $(utc "$commit_time")"

# SOURCE_DATE_EPOCH, when set, is the build's time instead.
epoch=1701734400
(export SOURCE_DATE_EPOCH=$epoch && built "$one" AttendantLauncher installer)
[ "$(pe_time "$one-build/bin/AttendantLauncher.exe")" = "$epoch" ] || fail "the launcher's time stamp is not SOURCE_DATE_EPOCH"
[ "$(msi_time "$one-build/bin/$installer")" = "$(utc "$epoch")" ] || fail "the installer was not made at SOURCE_DATE_EPOCH"
echo "made at SOURCE_DATE_EPOCH when it is set, $(utc "$epoch")"

# The release check. The published release: the first clone's build, signed and timestamped.
keys=$work/keys
mkdir -p "$keys/tsa"
trap 'stop_timestamp_authority' EXIT
throwaway_certificate "$keys" quillon-ab "Quillon AB"
start_timestamp_authority "$keys/tsa" 600
configure "$one" -DQMR_SIGN_CERT="$keys/quillon-ab.chain" -DQMR_SIGN_KEY="$keys/quillon-ab.key" -DQMR_TIMESTAMP_URL="$tsa_url"
built "$one"
stop_timestamp_authority
# As the README checks a release of which only the installer is at hand: the binaries, the runtime and
# the application come out of it.
published=$work/published
mkdir -p "$published"
cp "$one-build/bin/$installer" "$published/"
msiextract -C "$published/files" "$published/$installer" >/dev/null
installed="$published/files/Programs/Quillon Attendant"
cp "$installed/AttendantLauncher.exe" "$installed/qmr_dshow.dll" "$published/"
for f in AttendantLauncher.exe qmr_dshow.dll; do
  cmp -s "$published/$f" "$one-build/bin/$f" || fail "the installer's $f is not the signed one the build made"
done

# The other clone's build, given the published signatures, makes exactly the published files.
configure "$two" -DQMR_SIGNATURES_FROM="$published" -DQMR_INSTALLER_RUNTIME="$installed/jre" \
  -DQMR_INSTALLER_JAR="$installed/app/bootloader.jar"
built "$two"
for f in "${shipped[@]}"; do
  cmp "$two-build/bin/$f" "$published/$f" || fail "the rebuilt $f with the published signature is not the published one"
  echo "the published $f is what $commit builds"
done

# A published launcher that is not what the source builds (one byte of its code changed) fails the check.
offset=$((0x600 + 100))
byte=$(od -An -tu1 -j "$offset" -N1 "$published/AttendantLauncher.exe")
printf "\\x$(printf %02x $((byte ^ 0xff)))" | dd of="$published/AttendantLauncher.exe" bs=1 seek="$offset" conv=notrunc status=none
if build "$two" AttendantLauncher; then fail "a changed published launcher passed the check"; fi
grep -qF "that is not what this source builds" "$work/build.log" || { cat "$work/build.log" >&2; fail "the check did not say why it failed"; }
[ ! -e "$two-build/bin/AttendantLauncher.exe" ] || fail "the launcher that failed the check is left in place"
echo "a published launcher that differs from the rebuild fails the check"
rm -rf "$work"
