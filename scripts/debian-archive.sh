# Sourced by the set-up and test scripts.
# debian_archive SUITE: the archive this machine installs SUITE from, as its own apt sources name it,
# and the keyring they name for it, as lines "URI KEYRING" (KEYRING may be empty). No host is spelled
# here: whatever mirror the machine uses is the one to use.
debian_archive() {
  local suite=$1 f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v suite="$suite" '
      function flush() {
        if (types ~ /(^| )deb( |$)/ && (" " suites " ") ~ (" " suite " ") && enabled != "no" && uri != "")
          print uri, key
        types = suites = uri = key = enabled = ""
      }
      /^[ \t]*$/ { flush(); next }
      /^Types:/ { sub(/^Types:[ \t]*/, ""); types = $0 }
      /^Suites:/ { sub(/^Suites:[ \t]*/, ""); suites = $0 }
      /^URIs:/ { uri = $2 }
      /^Signed-By:[ \t]*\// { key = $2 }
      /^Enabled:/ { enabled = $2 }
      END { flush() }' "$f"
  done
  cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    awk -v suite="$suite" '$1 == "deb" {
      line = $0; key = ""
      if (match(line, /\[[^]]*\]/)) {
        options = substr(line, RSTART, RLENGTH)
        line = substr(line, 1, RSTART - 1) substr(line, RSTART + RLENGTH)
        if (match(options, /signed-by=[^] ]*/)) key = substr(options, RSTART + 10, RLENGTH - 10)
      }
      split(line, field, /[ \t]+/)
      if (field[3] == suite) print field[2], key
    }'
}
