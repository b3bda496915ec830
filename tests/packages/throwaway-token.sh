# Sourced by the scripts that sign from a token: a SoftHSM2 token that lives for one run and holds one
# publisher's key, as a hardware token holds a release key.
# throwaway_token DIR NAME
#   Makes a token in DIR/token, imports DIR/NAME.key (as throwaway_certificate made it) into it and
#   deletes the key file. Sets and exports SOFTHSM2_CONF (the module finds the token through it) and
#   QMR_SIGN_PIN (a new random PIN, which the signing step reads), and sets token_module (the
#   PKCS#11 module) and token_key (the key's PKCS#11 URI).
# The PINs reach pkcs11-tool through its environment ("env:"), never through a command line.
throwaway_token() {
  local dir=$1 name=$2
  token_module=
  for token_module in /usr/lib/softhsm/libsofthsm2.so /usr/lib/*/softhsm/libsofthsm2.so ""; do
    [ -f "$token_module" ] && break
  done
  [ -n "$token_module" ] || { echo "throwaway-token: SoftHSM2 is missing (scripts/setup.sh installs softhsm2)" >&2; return 1; }
  command -v pkcs11-tool >/dev/null || { echo "throwaway-token: pkcs11-tool is missing (scripts/setup.sh installs opensc)" >&2; return 1; }
  mkdir -p "$dir/token"
  printf 'directories.tokendir = %s\nobjectstore.backend = file\nlog.level = ERROR\n' "$dir/token" >"$dir/softhsm2.conf"
  export SOFTHSM2_CONF=$dir/softhsm2.conf
  QMR_SIGN_PIN=$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')
  export QMR_SIGN_PIN
  local so_pin
  so_pin=$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')
  local p11=(pkcs11-tool --module "$token_module" --token-label "$name")
  QMR_TOKEN_SO_PIN=$so_pin pkcs11-tool --module "$token_module" --init-token --label "$name" \
    --so-pin env:QMR_TOKEN_SO_PIN >/dev/null 2>&1 &&
    QMR_TOKEN_SO_PIN=$so_pin "${p11[@]}" --login --login-type so --so-pin env:QMR_TOKEN_SO_PIN --init-pin \
      --new-pin env:QMR_SIGN_PIN >/dev/null 2>&1 &&
    openssl pkey -in "$dir/$name.key" -outform DER -out "$dir/$name.key.der" &&
    "${p11[@]}" --login --pin env:QMR_SIGN_PIN --write-object "$dir/$name.key.der" --type privkey --id 01 \
      --label "$name" >/dev/null 2>&1 ||
    { rm -f "$dir/$name.key" "$dir/$name.key.der"; echo "throwaway-token: could not put $name's key into a token" >&2; return 1; }
  rm -f "$dir/$name.key" "$dir/$name.key.der"
  token_key="pkcs11:token=$name;object=$name;type=private"
}
