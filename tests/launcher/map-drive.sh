#!/usr/bin/env bash
# Maps a drive letter of the test prefix to a scratch directory, so that a test can install the
# launcher in a drive's root without touching C:; with "unmap" removes the letter and the directory.
#   map-drive.sh PREFIX LETTER DIR [unmap]
set -euo pipefail
prefix=$1
letter=$2
dir=$3
link="$prefix/dosdevices/$letter:"
rm -f "$link"
rm -rf "$dir"
[ "${4:-}" = unmap ] && exit 0
mkdir -p "$dir"
ln -s "$dir" "$link"
echo "map-drive.sh: $letter: is $dir"
