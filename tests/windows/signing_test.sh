#!/usr/bin/env bash
# Authenticode signing of the deliverables (scripts/sign-binaries), with a
# throwaway certificate authority made here:
#
#   signing_test.sh SIGN_BINARIES BINARY...
#
# For each binary: the signed copy verifies against that authority and no
# other; its signature's digest is the Authenticode digest of the unsigned
# binary, so it covers exactly the reproducible build; signing again at the
# same time gives the same bytes; a byte changed after signing fails the
# verification. Exits 77 (skipped) without osslsigncode or openssl, or when
# a binary has not been built.
set -uo pipefail

sign=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
for tool in osslsigncode openssl python3; do
  command -v "$tool" >/dev/null || { echo "$tool is missing"; exit 77; }
done
for binary in "$@"; do
  [[ -f "$binary" ]] || { echo "$binary is not built"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$here/make_test_signer.sh" "$work/signer" || { echo "cannot make the test signer"; exit 1; }
"$here/make_test_signer.sh" "$work/stranger" || { echo "cannot make a second signer"; exit 1; }
signer=(--key "$work/signer/signer.key" --cert "$work/signer/signer.pem" --time 1700000000)

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
verify() { osslsigncode verify -CAfile "$1" -in "$2" 2>&1; }
field() { sed -n "s/^$1 *: \\([0-9A-F]*\\).*/\\1/p" <<<"$2" | head -n 1; }

for binary in "$@"; do
  name=$(basename "$binary")
  signed="$work/$name"
  cp "$binary" "$signed"
  "$sign" "${signer[@]}" "$signed" >/dev/null || { fail "$name: cannot be signed"; continue; }

  if report=$(verify "$work/signer/ca.pem" "$signed"); then
    current=$(field "Current message digest" "$report")
    calculated=$(field "Calculated message digest" "$report")
    unsigned=$(python3 "$here/authenticode_digest.py" "$binary")
    [[ -n "$current" && "$current" == "$calculated" ]] ||
      fail "$name: the signature's digest ($current) is not the file's ($calculated)"
    [[ "$current" == "$unsigned" ]] ||
      fail "$name: the signature's digest ($current) is not that of the unsigned build ($unsigned)"
  else
    fail "$name: the signed copy does not verify against its authority"
    printf '%s\n' "$report" | tail -n 5
  fi
  verify "$work/stranger/ca.pem" "$signed" >/dev/null &&
    fail "$name: the signed copy verifies against an authority that did not issue its certificate"

  again="$work/again-$name"
  cp "$binary" "$again"
  "$sign" "${signer[@]}" "$again" >/dev/null && cmp -s "$signed" "$again" ||
    fail "$name: signing the same build at the same time gave other bytes"

  # A byte of the code, changed after signing.
  tampered="$work/tampered-$name"
  cp "$signed" "$tampered"
  offset=$(( $(stat -c %s "$binary") / 2 ))
  printf '%b' "\\x$(printf '%02x' $(( ($(od -An -tu1 -j "$offset" -N1 "$signed") + 1) % 256 )))" |
    dd of="$tampered" bs=1 seek="$offset" conv=notrunc status=none
  cmp -s "$signed" "$tampered" && fail "$name: the tampered copy is not changed"
  verify "$work/signer/ca.pem" "$tampered" >/dev/null &&
    fail "$name: a copy changed after signing still verifies"
  echo "$name: signed, verified, covering the unsigned build; a changed byte fails"
done
exit $((failures > 0))
