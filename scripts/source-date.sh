#!/usr/bin/env bash
# Runs a build step at the build's own time, so that two builds of one commit make the same bytes:
# SOURCE_DATE_EPOCH when it is set, otherwise the time of the source tree's commit. The linker takes
# it for the PE time stamp, the installer's script for its summary dates and file times.
#   source-date.sh SOURCE_DIR COMMAND [ARG...]
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: source-date.sh SOURCE_DIR COMMAND [ARG...]" >&2; exit 2; }
src=$1
shift
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  # Whoever owns the clone, its commit is what is being built.
  if ! SOURCE_DATE_EPOCH=$(git -c safe.directory="$src" -C "$src" log -1 --format=%ct 2>/dev/null) ||
    [ -z "$SOURCE_DATE_EPOCH" ]; then
    echo "source-date.sh: $src is not a git checkout: set SOURCE_DATE_EPOCH to the build's time (seconds since 1970)" >&2
    exit 1
  fi
fi
[[ $SOURCE_DATE_EPOCH =~ ^[0-9]+$ ]] || { echo "source-date.sh: SOURCE_DATE_EPOCH '$SOURCE_DATE_EPOCH' is not a number of seconds" >&2; exit 1; }
export SOURCE_DATE_EPOCH
exec "$@"
