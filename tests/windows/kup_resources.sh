#!/usr/bin/env bash
# The resources compiled into KUP.exe, read back from the file with windres,
# against what the program must carry:
#
#   kup_resources.sh WINDRES KUP_EXE
#
# The progress dialog's template 102 and the version resource, both US
# English, and nothing else: no icon, no menu, no strings of the program's
# own. windres leaves out of its listing what holds the default (a font of
# weight 0, not italic, character set 1; a control's extended style 0), so
# the listing below tells every field. Exits 77 (skipped) when the file has
# not been built.
set -uo pipefail

windres=$1
binary=$2
if [[ ! -f "$binary" ]]; then
  echo "$binary is not built"
  exit 77
fi

# Style 0x90C000C8: WS_POPUP, WS_VISIBLE, WS_CAPTION, DS_MODALFRAME,
# DS_SETFONT, DS_FIXEDSYS; extended style WS_EX_APPWINDOW. The text's style
# 0x50020000: WS_CHILD, WS_VISIBLE, WS_GROUP, SS_LEFT. Version: file type
# application (1), for 32-bit Windows (4), one string block for US English
# in code page 1252.
expected=$(cat <<'RC'

/* Type: dialog

   Name: 102.  */
LANGUAGE 9, 1

102 DIALOGEX 0, 0, 214, 30
STYLE 0x90c000c8
EXSTYLE 0x40000
CAPTION "KORU Update Program"
FONT 8, "MS Shell Dlg"
BEGIN
  LTEXT "Updating...", -1, 7, 7, 200, 16, 0x50020000
END

/* Type: version

   Name: 1.  */

1 VERSIONINFO
 FILEVERSION 1, 0, 0, 1
 PRODUCTVERSION 1, 0, 0, 1
 FILEFLAGSMASK 0x3f
 FILEOS 0x4
 FILETYPE 0x1
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904e4"
    BEGIN
      VALUE "FileDescription", "KORU Update Program"
      VALUE "FileVersion", "1.0.0.1"
      VALUE "InternalName", "KUP.exe"
      VALUE "OriginalFilename", "KUP.exe"
      VALUE "ProductName", "KORU Update Program"
      VALUE "ProductVersion", "1.0.0.1"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x409, 1252
  END
END
RC
)

seen=$("$windres" -i "$binary" -O rc) || { echo "windres cannot read $binary"; exit 1; }
if ! diff -u --label expected <(printf '%s\n' "$expected") --label "$binary" \
     <(printf '%s\n' "$seen"); then
  echo "FAIL: the resources of $binary differ"
  exit 1
fi
echo "$binary: the dialog template and the version resource, nothing else"
