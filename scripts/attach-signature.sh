#!/usr/bin/env bash
# Checks a rebuilt file against the published one: gives the rebuilt, unsigned INPUT the signature of
# PUBLISHED, in place, and fails unless the result is byte for byte PUBLISHED. Passes exactly when
# PUBLISHED is what the source builds, signed.
#   attach-signature.sh PUBLISHED INPUT
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: attach-signature.sh PUBLISHED INPUT" >&2; exit 2; }
published=$1 in=$2
command -v osslsigncode >/dev/null || { echo "attach-signature.sh: osslsigncode is missing (scripts/setup.sh installs it)" >&2; exit 1; }
[ -f "$published" ] || { echo "attach-signature.sh: the published $published is missing" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! osslsigncode extract-signature -in "$published" -out "$work/signature" >/dev/null 2>&1; then
  echo "attach-signature.sh: $published carries no signature" >&2
  exit 1
fi
# Its status also reports whether the chain is trusted here, which the comparison does not need.
osslsigncode attach-signature -sigin "$work/signature" -in "$in" -out "$work/attached" >/dev/null 2>&1 || true
[ -s "$work/attached" ] || { echo "attach-signature.sh: could not attach $published's signature to $in" >&2; exit 1; }
mv -f "$work/attached" "$in"
if ! cmp -s "$in" "$published"; then
  # Kept aside for a look, and out of the way so that the next build makes the file again.
  mv -f "$in" "$in.differs"
  echo "attach-signature.sh: $in, with the published signature, differs from $published: that is not what this source builds (kept as $in.differs)" >&2
  exit 1
fi
