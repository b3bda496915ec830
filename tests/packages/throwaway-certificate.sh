# Sourced by the scripts that sign test packages: makes keys and certificates that live only for one run.
# throwaway_certificate DIR NAME SUBJECT_CN [ISSUER_NAME]
#   DIR/NAME.key, DIR/NAME.pem, and DIR/NAME.chain (the certificate followed by its issuer's, which is
#   what the signing script takes); self-signed without an issuer.
throwaway_certificate() {
  local dir=$1 name=$2 cn=$3 issuer=${4:-}
  if [ -z "$issuer" ]; then
    openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=$cn" \
      -keyout "$dir/$name.key" -out "$dir/$name.pem" 2>/dev/null
    cp "$dir/$name.pem" "$dir/$name.chain"
  else
    openssl req -new -newkey rsa:2048 -nodes -subj "/CN=$cn" \
      -keyout "$dir/$name.key" -out "$dir/$name.csr" 2>/dev/null
    openssl x509 -req -in "$dir/$name.csr" -CA "$dir/$issuer.pem" -CAkey "$dir/$issuer.key" \
      -CAcreateserial -days 30 -out "$dir/$name.pem" 2>/dev/null
    cat "$dir/$name.pem" "$dir/$issuer.pem" >"$dir/$name.chain"
  fi
}
