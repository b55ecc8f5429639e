#!/usr/bin/env bash
# scripts/make-update-folder: the folder a release engineer ships, made from
# an update package, this build's deliverables and a settings file:
#
#   update_folder_test.sh MAKE_UPDATE_FOLDER NATIVE_BUILD DELIVERABLES ARCHITECTURE
#
# A good folder holds what the update program needs and SHA256SUMS that
# hold; the same inputs give the same folder twice, signed or not; every
# input the program could not use is refused with its reason. Exits 77
# (skipped) when the native tools or the deliverables are not built.
set -uo pipefail

make_folder=$1 native=$2 deliverables=$3 architecture=$4
here=$(cd "$(dirname "$0")" && pwd)
for file in "$native/tools/molt/molt" "$native/tools/molt-pack/molt-pack" \
            "$deliverables/app/KUP.exe" "$deliverables/extractor/MOLT.DLL"; do
  [[ -x "$file" || -f "$file" ]] || { echo "$file is not built"; exit 77; }
done
export KORU_NATIVE_BUILD=$native SOURCE_DATE_EPOCH=1205539200  # 2008-03-15
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
make() { "$make_folder" "$@" --deliverables "$deliverables" --architecture "$architecture"; }

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

msu=windows6.0-kb937287-x86.msu
mkdir -p "$work/package/docs"
printf 'the update package\n' >"$work/package/$msu"
printf 'read me\n' >"$work/package/docs/readme.txt"
printf '%s\r\n' '[KUP]' 'MSG4=missing@copy again' 'MSG5=no folder' 'MSG6=failed' 'MSG9=not installed' \
  >"$work/config.ini"

# A good folder, twice.
for run in 1 2; do
  make "$work/package" "$work/out$run" --config "$work/config.ini" >/dev/null ||
    fail "a good package and settings file are refused"
done
expected="KUP.exe MOLT.DLL SHA256SUMS config.ini package.dat"
[[ "$(cd "$work/out1" && echo *)" == "$expected" ]] || fail "the folder holds $(cd "$work/out1" && echo *)"
(cd "$work/out1" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not hold"
diff -r "$work/out1" "$work/out2" >/dev/null || fail "the same inputs gave two different folders"
cmp -s "$work/config.ini" "$work/out1/config.ini" || fail "config.ini is not the settings file given"
mkdir "$work/unpacked"
"$native/tools/molt/molt" extract --quiet "$work/out1/package.dat" "$work/unpacked" ||
  fail "package.dat does not unpack"
diff -r "$work/package" "$work/unpacked" >/dev/null || fail "package.dat does not unpack to the package"

# Signed, twice: verified against the authority, the same bytes.
if command -v osslsigncode >/dev/null && command -v openssl >/dev/null; then
  "$here/make_test_signer.sh" "$work/signer" || fail "cannot make the test signer"
  for run in 1 2; do
    make "$work/package/$msu" "$work/signed$run" --sign "$work/signer/signer.key" \
      "$work/signer/signer.pem" --ca "$work/signer/ca.pem" >/dev/null || fail "a signed folder is refused"
  done
  diff -r "$work/signed1" "$work/signed2" >/dev/null || fail "the same inputs gave two different signed folders"
  cmp -s "$work/out1/KUP.exe" "$work/signed1/KUP.exe" && fail "the signed folder's KUP.exe is not signed"
fi

# What the update program could not use: (name, package, settings file
# as printf's escapes or "-" for none, "full" for an output folder that is
# not empty, what the refusal says).
mkdir -p "$work/elsewhere/sub" "$work/renamed" "$work/full"
printf 'x' >"$work/elsewhere/sub/$msu"
printf 'x' >"$work/renamed/Windows6.0-KB937287-x86.msu"
printf 'x' >"$work/full/anything"
good='[KUP]\r\nMSG4=missing@copy again\r\nMSG5=no folder\r\nMSG6=failed\r\nMSG9=not installed\r\n'
long=$(head -c 1023 /dev/zero | tr '\0' 'a')
cases=(
  "another name|$work/renamed/Windows6.0-KB937287-x86.msu|-||must be named $msu"
  "in a subfolder|$work/elsewhere|-||holds no $msu at its root"
  "another section|$work/package|${good/KUP/Other}||section [Other] is not read"
  "an unknown key|$work/package|${good}MSG11=x\r\n||key MSG11 is not read"
  "a leading zero|$work/package|${good}MSG04=x\r\n||key MSG04 is not read"
  "a key twice|$work/package|${good}MSG4=again\r\n||MSG4 again"
  "a text left out|$work/package|${good/MSG5=no folder\\r\\n/}||MSG5 is not set"
  "a text too long|$work/package|${good}MSG1=$long\r\n||MSG1 is 1023 bytes"
  "bytes not in code page 932|$work/package|${good}MSG2=\x81\x20\r\n||not valid in code page 932"
  "a byte-order mark|$work/package|\xef\xbb\xbf$good||UTF-8 byte-order mark"
  "an output that is not empty|$work/package|-|full|exists and is not an empty folder"
)
for row in "${cases[@]}"; do
  IFS='|' read -r name package text extra expected <<<"$row"
  args=("$package" "$work/refused")
  if [[ "$text" != "-" ]]; then
    printf '%b' "$text" >"$work/refused.ini"
    args+=(--config "$work/refused.ini")
  fi
  [[ "$extra" == full ]] && args[1]="$work/full"
  rm -rf "$work/refused"
  if output=$(make "${args[@]}" 2>&1); then
    fail "$name: not refused"
  elif [[ "$output" != *"$expected"* ]]; then
    fail "$name: refused without saying '$expected': $output"
  fi
  [[ "$extra" == full || ! -e "$work/refused" ]] || fail "$name: a folder was made all the same"
done
other=i686
[[ "$architecture" == i686 ]] && other=x86_64
"$make_folder" "$work/package" "$work/refused" --deliverables "$deliverables" --architecture "$other" \
  >/dev/null 2>&1 && fail "binaries of another architecture are not refused"

[[ $failures -eq 0 ]] || exit 1
echo "update folders: made, checked, reproducible, signed; every unusable input refused"
