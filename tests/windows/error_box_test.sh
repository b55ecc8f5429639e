#!/usr/bin/env bash
# MOLT.DLL's error box as the user sees it, on a virtual X display:
#
#   error_box_test.sh WINE_RUN MOLT_CALLER UI_PROBE MOLT_DLL
#
# molt_caller loads the DLL and calls Molt as the update program does;
# ui_probe finds the box, tells what it holds and presses its button. Exits
# 77 (skipped) where xvfb-run is missing.
set -uo pipefail

if [[ -z "${MOLT_UNDER_XVFB:-}" ]]; then
  if ! command -v xvfb-run >/dev/null; then
    echo "xvfb-run is missing: the error box cannot be shown"
    exit 77
  fi
  MOLT_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi

wine_run=$1
caller=$2
probe=$3
dll=$(cd "$(dirname "$4")" && pwd)/$(basename "$4")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A desktop of this run's own, drawn on this run's display (test_desktop.h).
export MOLT_UI_DESKTOP="molt-ui-$$"
missing_pack='Z:\nonexistent\package.dat'
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Calls Molt with showErrors 1 and checks the box that it shows and that the
# call returns `code` once OK is pressed.
expect_box() {
  local title=$1 command=$2 code=$3 text=$4
  "$wine_run" "$caller" "$dll" "$missing_pack" "" 1 "$command" >"$work/caller.out" 2>&1 &
  local caller_pid=$!
  "$wine_run" "$probe" "Molt Error" --timeout 30000 --press OK >"$work/probe.out" 2>&1
  local probe_result=$?
  if [[ $probe_result -ne 0 ]]; then
    command -v import >/dev/null && import -window root "$work/screen.png" 2>/dev/null &&
      cp "$work/screen.png" "error_box_$code.png"
    kill "$caller_pid" 2>/dev/null
  fi
  wait "$caller_pid"
  local result=$?

  printf '%s\n' "window: Molt Error" "static: $text (Error: $code)\\n" "button: OK" \
    "pressed: OK" | sort >"$work/expected"
  # Windows programs end their lines with CR LF.
  tr -d '\r' <"$work/probe.out" | sort >"$work/seen"
  if ! diff -u "$work/expected" "$work/seen"; then
    fail "$title: the box differs (probe exit $probe_result)"
  fi
  [[ $result -eq $code ]] || fail "$title: Molt returned $result, not $code"
  echo "$title: done"
}

expect_box "wrong command" unpack 7 "オプションが正しくありません。"
expect_box "missing pack" UNPACK 31 "入力ファイルをオープンできません。"

# showErrors other than 1: no box, so the call returns at once. A box would
# hold it until the timeout.
for show in 0 2; do
  timeout 60 "$wine_run" "$caller" "$dll" "$missing_pack" "" "$show" unpack >"$work/caller.out" 2>&1
  result=$?
  [[ $result -eq 7 ]] || fail "showErrors $show: Molt returned $result, not 7 at once"
  "$wine_run" "$probe" "Molt Error" --timeout 500 >"$work/probe.out" 2>&1 &&
    fail "showErrors $show: a box was left open"
  echo "showErrors $show: done"
done

if [[ $failures -ne 0 ]]; then
  echo "$failures failed"
  exit 1
fi
echo "all error box checks passed"
