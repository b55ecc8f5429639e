#!/usr/bin/env bash
# The shipped form of MOLT.DLL and KUP.exe, read from their headers:
#
#   check_binary.sh OBJDUMP FILE FORMAT KIND
#
# FORMAT is pei-i386 (PE32 for i386) or pei-x86-64 (PE32+). KIND is "dll":
# a DLL that exports exactly the undecorated name Molt; or "gui": a program
# for the Windows GUI subsystem. Either imports nothing but system DLLs: the
# C and C++ runtimes are linked in. Exits 77 (skipped) when the file has not
# been built.
set -uo pipefail

objdump=$1
binary=$2
format=$3
kind=$4
if [[ ! -f "$binary" ]]; then
  echo "$binary is not built"
  exit 77
fi

headers=$("$objdump" -p "$binary") || exit 1
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
if [[ "$kind" == dll ]]; then
  # The flags listed under Characteristics, up to the first empty line.
  flags=$(sed -n '/^Characteristics /,/^$/p' <<<"$headers")
  grep -Eq '^[[:space:]]+DLL$' <<<"$flags" || fail "not a DLL"
  # Names of the export name table: the lines after its heading.
  exports=$(awk '/^\[Ordinal\/Name Pointer\] Table/ { names = 1; next }
                 names && /^[[:space:]]*\[ *[0-9]+\]/ { print $NF; next }
                 names { names = 0 }' <<<"$headers")
  [[ "$exports" == "Molt" ]] || fail "exports are [$(echo $exports)], not [Molt]"
else
  grep -Eq '^Subsystem[[:space:]].*\(Windows GUI\)' <<<"$headers" || fail "not a GUI program"
fi

system_dlls=" kernel32.dll user32.dll msvcrt.dll advapi32.dll ntdll.dll gdi32.dll shell32.dll
              shlwapi.dll comctl32.dll "
while read -r name; do
  [[ -z "$name" ]] && continue
  lower=${name,,}
  [[ "$system_dlls" == *[[:space:]]"$lower"[[:space:]]* || "$lower" == api-ms-win-* ]] ||
    fail "imports $name, which is not a system DLL"
done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")

if [[ $failures -ne 0 ]]; then
  exit 1
fi
echo "$binary: $format $kind, imports only system DLLs"
