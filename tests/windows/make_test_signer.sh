#!/usr/bin/env bash
# A throwaway certificate authority and a code-signing certificate it
# issued, for the signing tests only:
#
#   make_test_signer.sh DIR    writes DIR/ca.pem, DIR/signer.key, DIR/signer.pem
set -euo pipefail
dir=$1
mkdir -p "$dir"
cd "$dir"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=KORU Test Root" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
  -keyout ca.key -out ca.pem 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=KORU Test Signer" \
  -keyout signer.key -out signer.csr 2>/dev/null
printf '%s\n' "basicConstraints=CA:FALSE" "keyUsage=critical,digitalSignature" \
  "extendedKeyUsage=codeSigning" >signer.ext
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
  -extfile signer.ext -out signer.pem 2>/dev/null
