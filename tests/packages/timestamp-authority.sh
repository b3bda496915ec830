# Sourced by the scripts that sign with timestamps: a time-stamping authority on the loopback that
# lives for one run (timestamp-authority.py beside this file).
# start_timestamp_authority DIR [LIFETIME_SECONDS]
#   Starts it with its files in DIR and sets tsa_url (what osslsigncode's -ts takes), tsa_cert (the
#   certificate a verifier trusts, -TSA-CAfile) and tsa_pid. It ends by itself after LIFETIME_SECONDS
#   (600 by default) if stop_timestamp_authority is never called.
start_timestamp_authority() {
  local dir=$1 lifetime=${2:-600} i
  python3 "$(dirname "${BASH_SOURCE[0]}")/timestamp-authority.py" "$dir" "$lifetime" </dev/null &
  tsa_pid=$!
  for ((i = 0; i < 100; i++)); do
    [ -s "$dir/url" ] && break
    kill -0 "$tsa_pid" 2>/dev/null || { echo "timestamp-authority: it ended before it listened" >&2; return 1; }
    sleep 0.1
  done
  [ -s "$dir/url" ] || { echo "timestamp-authority: not listening after 10 s" >&2; return 1; }
  tsa_url=$(<"$dir/url")
  tsa_cert=$dir/tsa.pem
}

stop_timestamp_authority() {
  if [ -n "${tsa_pid:-}" ]; then
    kill "$tsa_pid" 2>/dev/null || true
    wait "$tsa_pid" 2>/dev/null || true
    tsa_pid=
  fi
}
