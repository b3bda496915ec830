#!/usr/bin/env bash
# Runs both README commands (the demo, then the test suite) on a fresh minimal Debian: a root file
# system of RELEASE made once with debootstrap and kept, copied afresh for every run, with a clean clone
# of this project's HEAD and the shared folder beside it. Run as root (through sudo otherwise).
#   test-in-debian.sh RELEASE [root|sudo|both] [TEST ARGUMENTS...]
# root runs scripts/demo.sh and scripts/test.sh as root; sudo as a new user who has sudo rights, as a
# developer would. TEST ARGUMENTS go to scripts/test.sh.
# QMR_DEBIAN_ROOTS names where the root file systems live (default /var/tmp/qmr-debian); QMR_KEEP_RUN=1
# keeps the last run's tree there for a look afterwards; QMR_SHARED names the shared folder when it is not
# beside the project.
set -euo pipefail
release=${1:?usage: test-in-debian.sh RELEASE [root|sudo|both] [TEST ARGUMENTS...]}
mode=${2:-root}
shift $(($# > 1 ? 2 : 1))
case $mode in root | sudo | both) ;; *) echo "test-in-debian.sh: mode is root, sudo or both, not $mode" >&2; exit 2 ;; esac
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ "$(id -u)" -ne 0 ]; then
  exec sudo QMR_DEBIAN_ROOTS="${QMR_DEBIAN_ROOTS:-}" QMR_KEEP_RUN="${QMR_KEEP_RUN:-}" QMR_SHARED="${QMR_SHARED:-}" "$0" "$release" "$mode" "$@"
fi
. "$root/scripts/debian-archive.sh"
roots=${QMR_DEBIAN_ROOTS:-/var/tmp/qmr-debian}
base=$roots/$release
run=$roots/$release-run
shared=${QMR_SHARED:-$root/../shared}
say() { printf 'test-in-debian.sh: %s\n' "$*" >&2; }
started=$SECONDS

if [ ! -e "$base/.complete" ]; then
  command -v debootstrap >/dev/null || apt-get install -y --no-install-recommends debootstrap
  host_suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
  read -r mirror _ < <(debian_archive "$host_suite") || true
  [ -n "${mirror:-}" ] || { say "no apt source of this machine names its $host_suite suite"; exit 1; }
  say "making a minimal $release in $base from $mirror"
  rm -rf "$base.new"
  mkdir -p "$roots"
  debootstrap --variant=minbase "$release" "$base.new" "$mirror" >"$roots/$release-debootstrap.log" 2>&1 ||
    { tail -n 20 "$roots/$release-debootstrap.log" >&2; exit 1; }
  rm -rf "$base"
  mv "$base.new" "$base"
  touch "$base/.complete"
  say "root file system made in $((SECONDS - started)) s"
fi

# Everything mounted below the run tree, and every process whose root it is (Wine's server, Xvfb), goes
# when the run ends, however it ends.
cleanup() {
  local link pid
  for link in /proc/[0-9]*/root; do
    [ "$(readlink "$link" 2>/dev/null)" = "$run" ] || continue
    pid=${link#/proc/}
    kill -9 "${pid%/root}" 2>/dev/null || true
  done
  for m in sys dev proc; do
    if mountpoint -q "$run/$m"; then umount -R "$run/$m" || umount -R -l "$run/$m"; fi
  done
  if [ -z "${QMR_KEEP_RUN:-}" ] && [ -d "$run" ] && ! grep -q " $run/" /proc/mounts; then rm -rf "$run"; fi
}
trap cleanup EXIT

# prepare USER: a fresh copy of the minimal system with the project in /work/main and shared beside it.
prepare() {
  cleanup
  rm -rf "$run"
  cp -a "$base" "$run"
  cp -L /etc/resolv.conf "$run/etc/resolv.conf"
  mkdir -p "$run/work"
  git clone -q --no-hardlinks "$root" "$run/work/main"
  if [ -d "$shared" ]; then
    mkdir -p "$run/work/shared"
    cp -a "$shared/." "$run/work/shared/"
  else
    say "no $shared: the build will clone Avian from its public repository"
  fi
  mount -t proc proc "$run/proc"
  mount --rbind /dev "$run/dev" && mount --make-rslave "$run/dev"
  mount --rbind /sys "$run/sys" && mount --make-rslave "$run/sys"
}

in_root() {
  chroot "$run" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    HOME=/root LANG=C.UTF-8 "$@"
}

test_as() {
  local who=$1 t0=$SECONDS status=0
  shift
  say "$release, as $who: copying the system and the project"
  prepare
  local command="cd /work/main && scripts/demo.sh && scripts/test.sh$(printf ' %q' "$@")"
  if [ "$who" = root ]; then
    in_root bash -c "$command" || status=$?
  else
    # The user's machine comes with sudo; apt's lists of the fresh system are fetched for it.
    in_root bash -c 'apt-get update -q >/dev/null && DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
      --no-install-recommends sudo >/dev/null && useradd -m -s /bin/bash developer &&
      echo "developer ALL=(ALL) NOPASSWD: ALL" >/etc/sudoers.d/developer && chown -R developer: /work/main'
    in_root runuser -u developer -- /usr/bin/env HOME=/home/developer USER=developer bash -c "$command" ||
      status=$?
  fi
  say "$release, as $who: scripts/demo.sh and scripts/test.sh exited $status after $((SECONDS - t0)) s"
  return "$status"
}

status=0
case $mode in
  root) test_as root "$@" || status=$? ;;
  sudo) test_as sudo "$@" || status=$? ;;
  both)
    test_as root "$@" || status=$?
    test_as sudo "$@" || status=$?
    ;;
esac
say "$release: done in $((SECONDS - started)) s"
exit "$status"
