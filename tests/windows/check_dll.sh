#!/usr/bin/env bash
# The shipped form of MOLT.DLL, read from its headers:
#
#   check_dll.sh OBJDUMP DLL FORMAT
#
# FORMAT is pei-i386 (a PE32 DLL for i386) or pei-x86-64 (PE32+). The DLL
# must export exactly the undecorated name Molt and import nothing but
# system DLLs: its C and C++ runtimes are linked in. Exits 77 (skipped) when
# the DLL has not been built.
set -uo pipefail

objdump=$1
dll=$2
format=$3
if [[ ! -f "$dll" ]]; then
  echo "$dll is not built"
  exit 77
fi

headers=$("$objdump" -p "$dll") || exit 1
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

case "$format" in
  pei-i386) magic=010b ;;
  pei-x86-64) magic=020b ;;
  *) echo "unknown format $format"; exit 2 ;;
esac
grep -q "file format $format\$" <<<"$headers" || fail "not $format"
grep -Eq "^Magic[[:space:]]+$magic" <<<"$headers" || fail "optional header magic is not $magic"
# The flags listed under Characteristics, up to the first empty line.
flags=$(sed -n '/^Characteristics /,/^$/p' <<<"$headers")
grep -Eq '^[[:space:]]+DLL$' <<<"$flags" || fail "not a DLL"

# Names of the export name table: the lines after its heading.
exports=$(awk '/^\[Ordinal\/Name Pointer\] Table/ { names = 1; next }
               names && /^[[:space:]]*\[ *[0-9]+\]/ { print $NF; next }
               names { names = 0 }' <<<"$headers")
[[ "$exports" == "Molt" ]] || fail "exports are [$(echo $exports)], not [Molt]"

system_dlls=" kernel32.dll user32.dll msvcrt.dll advapi32.dll ntdll.dll gdi32.dll shell32.dll "
while read -r name; do
  [[ -z "$name" ]] && continue
  lower=${name,,}
  [[ "$system_dlls" == *" $lower "* || "$lower" == api-ms-win-* ]] ||
    fail "imports $name, which is not a system DLL"
done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")

if [[ $failures -ne 0 ]]; then
  exit 1
fi
echo "$dll: $format, exports Molt only, imports only system DLLs"
