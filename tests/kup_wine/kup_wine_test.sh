#!/usr/bin/env bash
# The real KUP.exe and MOLT.DLL under Wine on a virtual X display, one case
# per run:
#
#   kup_wine_test.sh CASE WINE_RUN KUP_EXE MOLT_DLL UI_PROBE WUSA_STANDIN
#                    START_ON_DESKTOP DIALOG_CHECK MOLT_PACK
#
# The program folder is a fresh temporary folder whose name holds a blank
# (or the case's own name, or the root of a drive of its own); its
# package.dat is made by molt-pack from a small tree. The stand-in installer
# takes the place of the prefix's wusa.exe and records how it was started,
# and from where. Every message box is answered with OK and what it held
# compared with the case's expectation. The case "live_dialog" also checks
# the progress dialog while the installer runs and leaves a screenshot of
# it, kup_dialog.png, in the working folder; "close_request" closes the
# dialog while the installer runs. Exits 77 (skipped) where xvfb-run is
# missing.
set -uo pipefail

if [[ $# -ne 9 ]]; then
  echo "usage: $0 CASE WINE_RUN KUP_EXE MOLT_DLL UI_PROBE WUSA_STANDIN START_ON_DESKTOP DIALOG_CHECK MOLT_PACK" >&2
  exit 2
fi
if [[ -z "${MOLT_UNDER_XVFB:-}" ]]; then
  if ! command -v xvfb-run >/dev/null; then
    echo "xvfb-run is missing: the update program's windows cannot be shown"
    exit 77
  fi
  MOLT_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi

absolute() { printf '%s/%s' "$(cd "$(dirname "$1")" && pwd)" "$(basename "$1")"; }
test_case=$1
KW_WINE_RUN=$(absolute "$2")
kup=$(absolute "$3")
molt_dll=$(absolute "$4")
KW_PROBE=$(absolute "$5")
standin=$(absolute "$6")
launcher=$(absolute "$7")
dialog_check=$(absolute "$8")
molt_pack=$(absolute "$9")
# shellcheck source=kup_wine_lib.sh
source "$(dirname "$(absolute "$0")")/kup_wine_lib.sh"

package_name=windows6.0-kb937287-x86.msu
molt_signature_text="入力ファイルのシグネチャデータが違います。"

# The case table. Each case sets:
#   layout     what the program folder holds besides KUP.exe: "pack" (MOLT.DLL
#              and package.dat), "no-pack", "no-library"
#   pack       the tree packed: "full" (the update package and a document),
#              "no-update-package" (the document only), "bad-signature" (full,
#              its first byte changed)
#   config     the contents of config.ini, none when empty
#   installer  "standin", "standin-waits" (until the test lets it end) or
#              "none" (no wusa.exe in the system directory)
#   boxes      the message boxes expected, in order: "KUP:<text>" or
#              "MOLT:<code>:<text>"
#   exit_code  the program's exit code
#   started    "yes" when the installer must have been started
#   unpacked   "yes" when the document must have been unpacked
#   place      where the program folder is: "folder" (named folder_name) or
#              "drive-root" (the root of a drive letter mapped for the case)
#   folder_name  the program folder's name
#   package_bytes  when set, the folder's name is made so long that the
#              update package's path has that many bytes
#   plant      where a copy of the stand-in installer named wusa.exe lies in
#              wait, which must never run: "" (nowhere), "program-folder",
#              "current-dir" (the folder the program is started in)
#   close      "yes": once the installer runs, the dialog gets a close request
#   package_left  "yes" when the update package must still be there at the end
layout=pack pack=full config="" installer=standin boxes=() exit_code=0 started=no unpacked=no
place=folder folder_name="KORU update" package_bytes="" plant="" close=no package_left=no
case "$test_case" in
  success)
    # The installer fails on its own: the program does not care.
    export MOLT_WUSA_EXIT=1603
    started=yes unpacked=yes ;;
  no_package)
    layout=no-pack boxes=("KUP:Cannot find a required file") exit_code=103 ;;
  no_library)
    layout=no-library boxes=("KUP:Setting up the update program failed") exit_code=105 ;;
  bad_signature)
    pack=bad-signature
    boxes=("MOLT:40:$molt_signature_text" "KUP:Setting up the update program failed")
    exit_code=105 ;;
  no_update_package)
    pack=no-update-package boxes=("KUP:Cannot run update program") exit_code=2 unpacked=yes ;;
  no_installer)
    installer=none boxes=("KUP:Cannot run update program") exit_code=1 unpacked=yes ;;
  config_lines)
    layout=no-pack
    config=$'[KUP]\r\nMSG4=first@second\r\n'
    boxes=("KUP:first\\nsecond") exit_code=103 ;;
  live_dialog)
    installer=standin-waits started=yes unpacked=yes ;;
  close_request)
    # The update did not complete: 1602 tells deployment tools the user
    # cancelled. The installer goes on by itself; its package stays.
    installer=standin-waits close=yes exit_code=1602 started=yes unpacked=yes package_left=yes ;;
  planted_program_folder)
    plant=program-folder started=yes unpacked=yes ;;
  planted_current_dir)
    plant=current-dir started=yes unpacked=yes ;;
  percent_folder)
    # The pack's path is also the extractor's volume-name format.
    folder_name="KORU update 100% %d %s" started=yes unpacked=yes ;;
  drive_root)
    place=drive-root started=yes unpacked=yes ;;
  path_239)
    # The longest package path whose installer parameters fit 260 bytes.
    package_bytes=239 started=yes unpacked=yes ;;
  path_240)
    package_bytes=240 boxes=("KUP:Cannot run update program") exit_code=1 unpacked=yes ;;
  *)
    echo "unknown case: $test_case" >&2
    exit 2 ;;
esac

work=$(mktemp -d)
drive=""
cleanup() {
  # The next case, or another user of the prefix, finds the stand-in in place.
  [[ "$installer" == none ]] && kw_install_standin "$standin"
  [[ -n "$drive" ]] && kw_unmap_drive "$drive"
  rm -rf "$work"
}
trap cleanup EXIT
# A desktop of this run's own, drawn on this run's display.
export MOLT_UI_DESKTOP="kup-ui-$$"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The trees to pack.
make_tree() {
  local tree=$1
  mkdir -p "$tree/docs"
  printf 'Notes on this update.\r\n' >"$tree/docs/readme.txt"
  [[ "$pack" == no-update-package ]] || printf 'placeholder update package\n' >"$tree/$package_name"
}

make_pack() {
  local out=$1 tree="$work/tree"
  make_tree "$tree"
  "$KW_WINE_RUN" "$molt_pack" "$(kw_winpath "$out")" "$(kw_winpath "$tree")" >"$work/pack.out" 2>&1 ||
    { cat "$work/pack.out"; return 1; }
  if [[ "$pack" == bad-signature ]]; then
    local first
    first=$(od -An -tu1 -N1 "$out" | tr -d ' ')
    printf "\\$(printf '%03o' $((first ^ 0xFF)))" | dd of="$out" bs=1 count=1 conv=notrunc 2>/dev/null
  fi
}

if [[ "$place" == drive-root ]]; then
  folder="$work/root"
  mkdir -p "$folder"
  drive=$(kw_map_drive "$folder") || { echo "no free drive letter in the prefix"; exit 1; }
  folder_win="${drive^^}:"
else
  if [[ -n "$package_bytes" ]]; then
    # Z:, the folder's Unix path, a separator and the package's name.
    pad=$((package_bytes - 2 - ${#work} - 2 - ${#package_name}))
    folder_name=$(printf '%*s' "$pad" '' | tr ' ' p)
  fi
  folder="$work/$folder_name"
  mkdir -p "$folder"
  folder_win=$(kw_winpath "$folder")
fi
package_win="$folder_win\\$package_name"
if [[ -n "$package_bytes" && ${#package_win} -ne $package_bytes ]]; then
  echo "the package path has ${#package_win} bytes, not $package_bytes"
  exit 1
fi
cp "$kup" "$folder/KUP.exe"
if [[ "$layout" != no-library ]]; then cp "$molt_dll" "$folder/MOLT.DLL"; fi
# Made outside the program folder: molt-pack takes its output path for a
# volume-name format, which a '%' in the folder's name would spoil.
if [[ "$layout" != no-pack ]]; then
  make_pack "$work/package.dat" && mv "$work/package.dat" "$folder/package.dat" || exit 1
fi
if [[ -n "$config" ]]; then printf '%s' "$config" >"$folder/config.ini"; fi

kw_install_standin "$standin" || { echo "cannot install the stand-in installer"; exit 1; }
# Set by 32-bit builds: the stand-in of their own bits, which must not run.
if [[ -n "${KW_WOW64_DECOY:-}" ]]; then
  kw_install_wow64_decoy "$KW_WOW64_DECOY" || { echo "cannot install the SysWOW64 decoy"; exit 1; }
fi
[[ "$installer" == none ]] && kw_remove_standin
# The program is started in a folder of the test's, which may hold a planted
# installer.
start_dir="$work/current"
mkdir -p "$start_dir"
case "$plant" in
  program-folder) cp "$standin" "$folder/wusa.exe" ;;
  current-dir) cp "$standin" "$start_dir/wusa.exe" ;;
esac
export MOLT_WUSA_LOG
MOLT_WUSA_LOG=$(kw_winpath "$work/wusa.log")
go="$work/installer-may-end"
if [[ "$installer" == standin-waits ]]; then
  export MOLT_WUSA_WAIT_FOR MOLT_WUSA_WAIT_LIMIT=60
  MOLT_WUSA_WAIT_FOR=$(kw_winpath "$go")
fi

(cd "$start_dir" && exec "$KW_WINE_RUN" "$launcher" "$folder_win\\KUP.exe") >"$work/kup.out" 2>&1 &
kup_pid=$!

if [[ "$installer" == standin-waits ]]; then
  if ! kw_wait_for_file "$work/wusa.log" "$kup_pid" 60; then
    fail "the installer was not started"
  elif [[ "$close" == yes ]]; then
    "$KW_WINE_RUN" "$dialog_check" --close >"$work/check.out" 2>&1 || fail "the close request (below)"
    tr -d '\r' <"$work/check.out"
    # The program must end while the installer still waits.
    kw_wait_for_exit "$kup_pid" 30 || fail "the program did not end on the close request"
  else
    "$KW_WINE_RUN" "$dialog_check" >"$work/check.out" 2>&1 || fail "the progress dialog (below)"
    tr -d '\r' <"$work/check.out"
    [[ -e "$folder/$package_name" ]] || fail "the update package is gone while the installer runs"
    if kw_screenshot "$PWD/kup_dialog.png"; then
      echo "screenshot of the progress dialog: $PWD/kup_dialog.png"
    else
      echo "no screenshot: neither import nor xwd and convert worked"
    fi
  fi
  touch "$go"
fi

kw_answer_boxes "$kup_pid" "$work/boxes" 90
wait "$kup_pid"
result=$?
# The launcher tells the whole code; the exit status holds its low 8 bits.
reported=$(tr -d '\r' <"$work/kup.out" | sed -n 's/^exit code: //p')
[[ -n "$reported" ]] && result=$reported

# What the boxes must have held, in the form kw_answer_boxes writes.
for box in "${boxes[@]}"; do
  case "$box" in
    KUP:*)
      printf '%s\n' "window: KORU Update Program" "button: OK" "icon" "pressed: OK" \
        "static: ${box#KUP:}" ;;
    MOLT:*)
      rest=${box#MOLT:}
      printf '%s\n' "window: Molt Error" "button: OK" "pressed: OK" \
        "static: ${rest#*:} (Error: ${rest%%:*})\\n" ;;
  esac | kw_normalise_box
  echo
done >"$work/expected-boxes"
touch "$work/boxes"
diff -u --label expected "$work/expected-boxes" --label seen "$work/boxes" ||
  fail "the message boxes differ"

[[ $result -eq $exit_code ]] || fail "exit code $result, expected $exit_code"

if [[ "$started" == yes ]]; then
  expected="parameters: /norestart /quiet \"$package_win\""
  seen=$(grep '^parameters: ' "$work/wusa.log" 2>/dev/null)
  [[ "$seen" == "$expected" ]] ||
    fail "installer started with <${seen#parameters: }>, expected <${expected#parameters: }>"
  grep '^command line: ' "$work/wusa.log"
  # The system's installer, never a wusa.exe planted beside the program or in
  # the current directory. A 32-bit program names the 64-bit system folder
  # Sysnative.
  program=$(grep '^program: ' "$work/wusa.log")
  [[ "${program,,}" =~ ^program:\ c:\\windows\\(system32|sysnative)\\wusa\.exe$ ]] ||
    fail "the installer that ran is <${program#program: }>, not the system's"
  # The 64-bit system's installer is a 64-bit program.
  grep -qx 'bits: 64' <(tr -d '\r' <"$work/wusa.log") ||
    fail "the installer that ran is not the 64-bit one in the 64-bit system folder"
else
  [[ ! -e "$work/wusa.log" ]] || fail "the installer was started: $(cat "$work/wusa.log")"
fi

if [[ "$close" == yes ]]; then
  # Nothing of the program is left to delete the package once the installer
  # has ended.
  kw_wait_for_line "$work/wusa.log" ended 30 || fail "the installer did not end"
fi

if [[ "$unpacked" == yes ]]; then
  cmp -s "$work/tree/docs/readme.txt" "$folder/docs/readme.txt" ||
    fail "docs/readme.txt was not unpacked as packed"
  if [[ "$package_left" == yes ]]; then
    [[ -e "$folder/$package_name" ]] || fail "the update package was deleted"
  else
    # Deleted after the installer ran, after it could not be started, and
    # never made when the pack lacks it.
    [[ ! -e "$folder/$package_name" ]] || fail "the update package was left in the program folder"
  fi
elif [[ "$layout" == pack ]]; then
  [[ ! -e "$folder/docs" ]] || fail "something was unpacked"
fi

if [[ $failures -ne 0 ]]; then
  echo "--- KUP run output"
  cat "$work/kup.out"
  echo "$test_case: $failures failed"
  exit 1
fi
echo "$test_case: passed (exit code $result)"
