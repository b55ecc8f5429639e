#!/usr/bin/env bash
# The update program's success path with KUP.exe and MOLT.DLL signed
# (scripts/sign-binaries) by a throwaway authority: a signature changes
# nothing of what the program does.
#
#   signed_success.sh SIGN_BINARIES MAKE_SIGNER WINE_RUN KUP_EXE MOLT_DLL REST...
#
# REST: the remaining arguments of kup_wine_test.sh. Exits 77 (skipped)
# without osslsigncode or openssl.
set -uo pipefail

sign=$1 make_signer=$2 wine_run=$3 kup=$4 molt_dll=$5
shift 5
for tool in osslsigncode openssl; do
  command -v "$tool" >/dev/null || { echo "$tool is missing"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$make_signer" "$work/signer" || { echo "cannot make the test signer"; exit 1; }
cp "$kup" "$work/KUP.exe"
cp "$molt_dll" "$work/MOLT.DLL"
"$sign" --key "$work/signer/signer.key" --cert "$work/signer/signer.pem" \
  "$work/KUP.exe" "$work/MOLT.DLL" >/dev/null || { echo "cannot sign"; exit 1; }
"$(dirname "$0")/kup_wine_test.sh" success "$wine_run" "$work/KUP.exe" "$work/MOLT.DLL" "$@"
