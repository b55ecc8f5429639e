# Shell helpers for running the real KUP.exe under Wine on a virtual
# display, shared by the kup_wine tests and scripts/run-sample (sourced, not
# run). Needs KW_WINE_RUN (scripts/wine-run) and KW_PROBE (ui_probe.exe).

# The Windows form of an absolute Unix path: Wine's drive Z: is the Unix root.
kw_winpath() {
  local path=$1
  printf 'Z:%s' "${path//\//\\}"
}

# The prefix's system directory, where the update program looks for its
# installer.
kw_system_dir() {
  local scripts
  scripts=$(dirname "$KW_WINE_RUN")
  (source "$scripts/wine-env" && printf '%s/drive_c/windows/system32' "$WINEPREFIX")
}

# The prefix's folder.
kw_prefix() {
  dirname "$(dirname "$(dirname "$(kw_system_dir)")")"
}

# Maps a free drive letter of the prefix to FOLDER and prints the letter.
# The link is made in one step, so two runs never take the same letter.
kw_map_drive() {
  local folder=$1 devices letter
  devices="$(kw_prefix)/dosdevices"
  for letter in r s t u v w x y; do
    if ln -s "$folder" "$devices/$letter:" 2>/dev/null; then
      printf '%s' "$letter"
      return 0
    fi
  done
  return 1
}

# Removes the drive letter that kw_map_drive mapped.
kw_unmap_drive() {
  rm -f "$(kw_prefix)/dosdevices/$1:"
}

# Puts the stand-in installer in the place of the prefix's wusa.exe. Wine has
# a built-in program of that name that it would run instead of any file
# there, so the prefix is told to prefer the file (a DLL override, which the
# prefix keeps). Wine's services write the registry to disk with a delay,
# so the override may be set more than once; that does no harm.
kw_install_standin() {
  local standin=$1 scripts system
  scripts=$(dirname "$KW_WINE_RUN")
  "$scripts/wine-prefix-setup" || return 1
  system=$(kw_system_dir)
  cmp -s "$standin" "$system/wusa.exe" || cp "$standin" "$system/wusa.exe" || return 1
  local prefix
  prefix=$(kw_prefix)
  if ! grep -qi '^"wusa.exe"="native"' "$prefix/user.reg" 2>/dev/null; then
    "$KW_WINE_RUN" reg add 'HKCU\Software\Wine\DllOverrides' /v wusa.exe /d native /f \
      >/dev/null 2>&1 || return 1
  fi
  kw_draw_own_frames "$prefix"
}

# The virtual display has no window manager, and Wine leaves a window's
# frame and caption to one: the update program's windows would show only
# their client area. Told that its windows are not managed, Wine draws them
# whole, so a screenshot shows the dialog as the user sees it. Only
# KUP.exe's windows, through the prefix's per-program settings.
kw_draw_own_frames() {
  local prefix=$1
  if ! grep -qi '^\[Software\\\\Wine\\\\AppDefaults\\\\KUP.exe\\\\X11 Driver\]' \
       "$prefix/user.reg" 2>/dev/null; then
    "$KW_WINE_RUN" reg add 'HKCU\Software\Wine\AppDefaults\KUP.exe\X11 Driver' /v Managed /d N /f \
      >/dev/null 2>&1 || return 1
  fi
}

# A 32-bit stand-in in the prefix's 32-bit system folder, where a 32-bit
# program that named system32 instead of Sysnative would find it.
kw_install_wow64_decoy() {
  local decoy=$1 wow64
  wow64="$(dirname "$(kw_system_dir)")/syswow64"
  cmp -s "$decoy" "$wow64/wusa.exe" || cp "$decoy" "$wow64/wusa.exe"
}

# With the override set and no file, the installer cannot be started.
kw_remove_standin() {
  rm -f "$(kw_system_dir)/wusa.exe"
}

# One box as the probe told it, in a fixed order: the window line first,
# then the controls sorted, since their order is the system's.
kw_normalise_box() {
  local lines
  lines=$(cat)
  grep '^window:' <<<"$lines"
  grep -v '^window:' <<<"$lines" | LC_ALL=C sort
}

# Presses OK on every "Molt Error" and "KORU Update Program" message box
# until process PID has ended (or LIMIT seconds have passed), appending what
# each box held to TRANSCRIPT, a blank line after each box. The progress
# dialog has the message boxes' caption but no OK button, so the probe
# leaves it alone (exit 2).
kw_answer_boxes() {
  local pid=$1 transcript=$2 limit=${3:-90}
  local deadline=$((SECONDS + limit)) caption out
  out=$(mktemp)
  while kill -0 "$pid" 2>/dev/null; do
    if ((SECONDS >= deadline)); then
      echo "kw_answer_boxes: still running after ${limit}s, stopping it" >&2
      kill "$pid" 2>/dev/null
      break
    fi
    for caption in "Molt Error" "KORU Update Program"; do
      if "$KW_WINE_RUN" "$KW_PROBE" "$caption" --timeout 200 --press OK >"$out" 2>&1; then
        # Windows programs end their lines with CR LF.
        tr -d '\r' <"$out" | kw_normalise_box >>"$transcript"
        echo >>"$transcript"
      fi
    done
  done
  rm -f "$out"
}

# Waits up to LIMIT seconds for FILE to appear while process PID runs.
kw_wait_for_file() {
  local file=$1 pid=$2 limit=${3:-60}
  local deadline=$((SECONDS + limit))
  until [[ -e "$file" ]]; do
    kill -0 "$pid" 2>/dev/null || return 1
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}

# Waits up to LIMIT seconds for process PID to end.
kw_wait_for_exit() {
  local pid=$1 limit=${2:-30}
  local deadline=$((SECONDS + limit))
  while kill -0 "$pid" 2>/dev/null; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}

# Waits up to LIMIT seconds for FILE to hold the line LINE.
kw_wait_for_line() {
  local file=$1 line=$2 limit=${3:-30}
  local deadline=$((SECONDS + limit))
  until grep -qx "$line" "$file" 2>/dev/null; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}

# A picture of the whole virtual screen as PNG, with ImageMagick.
kw_screenshot() {
  local png=$1
  # The window may have been created a moment ago: give it time to paint.
  sleep 3
  if command -v import >/dev/null; then
    import -window root "$png" 2>/dev/null && return 0
  fi
  command -v xwd >/dev/null && command -v convert >/dev/null &&
    xwd -root -silent | convert xwd:- "$png" 2>/dev/null
}
