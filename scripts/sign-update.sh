#!/usr/bin/env bash
# The publisher's side of signed updates, with openssl only.
#
#   scripts/sign-update.sh keygen DIR          writes DIR/update-private-key.pem (keep it
#                                              secret, outside any checkout, never ship it)
#                                              and DIR/update-key.pem (ships beside updater.exe)
#   scripts/sign-update.sh digest FILE         prints the sha256 value for FILE's manifest entry
#   scripts/sign-update.sh sign MANIFEST KEY   writes MANIFEST.sig with the private KEY and checks
#                                              it against KEY's public key before returning
#
# The key is ECDSA P-256; the signature is DER over the manifest's bytes exactly as served, so
# sign the final file and change nothing in it afterwards.
set -euo pipefail

usage() {
  sed -n '4,9p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

need_file() {
  [[ -f "$1" ]] || { echo "sign-update.sh: $1 is not a file" >&2; exit 1; }
}

command -v openssl >/dev/null || { echo "sign-update.sh: openssl is missing" >&2; exit 1; }

case "${1:-}" in
  keygen)
    [[ $# -eq 2 ]] || usage
    dir=$2
    # Only its owner may look into a new key folder.
    (umask 077 && mkdir -p "$dir")
    private="$dir/update-private-key.pem"
    # A private key inside a checkout is one "git add" away from being published.
    if git -C "$dir" rev-parse --is-inside-work-tree >/dev/null 2>&1 &&
      ! git -C "$dir" check-ignore -q "update-private-key.pem" 2>/dev/null; then
      echo "sign-update.sh: warning: $dir lies in a git checkout; keep the private key outside it" >&2
    fi
    if [[ -e "$private" ]]; then
      echo "sign-update.sh: $private exists; move it away to make a new key" >&2
      exit 1
    fi
    (umask 077 && openssl ecparam -name prime256v1 -genkey -noout -out "$private")
    openssl ec -in "$private" -pubout -out "$dir/update-key.pem" 2>/dev/null
    echo "private key (keep it secret): $private"
    echo "public key (ship it beside updater.exe): $dir/update-key.pem"
    ;;
  digest)
    [[ $# -eq 2 ]] || usage
    need_file "$2"
    openssl dgst -sha256 -r "$2" | cut -d' ' -f1
    ;;
  sign)
    [[ $# -eq 3 ]] || usage
    manifest=$2 key=$3
    need_file "$manifest"
    need_file "$key"
    # Into a file of its own first, so that a failure never leaves a broken signature behind.
    pending=$(mktemp) public=$(mktemp)
    trap 'rm -f "$pending" "$public"' EXIT
    openssl dgst -sha256 -sign "$key" -out "$pending" "$manifest"
    openssl ec -in "$key" -pubout -out "$public" 2>/dev/null
    if ! openssl dgst -sha256 -verify "$public" -signature "$pending" "$manifest" >/dev/null; then
      echo "sign-update.sh: the new signature does not verify; nothing written" >&2
      exit 1
    fi
    # mktemp makes its files readable by their owner only; a web server must read this one
    # as it reads the manifest.
    chmod --reference="$manifest" "$pending"
    mv "$pending" "$manifest.sig"
    echo "signed: $manifest.sig"
    ;;
  *)
    usage
    ;;
esac
