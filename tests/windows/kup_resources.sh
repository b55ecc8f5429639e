#!/usr/bin/env bash
# The resources compiled into KUP.exe, read back from the file with windres,
# against what the program must carry:
#
#   kup_resources.sh WINDRES KUP_EXE
#
# The progress dialog's template 102, the version resource and the
# application manifest, all US English, and nothing else: no icon, no menu,
# no strings of the program's own. The manifest asks for an administrator,
# names every Windows from Vista on, makes the program system-DPI-aware and
# takes Common Controls 6. windres leaves out of its listing what holds the default (a font of
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

listing=$("$windres" -i "$binary" -O rc) || { echo "windres cannot read $binary"; exit 1; }
# windres lists the resources by type: the manifest (24) comes last.
seen=$(sed '/^\/\* Type: 24$/,$d' <<<"$listing")
if ! diff -u --label expected <(printf '%s\n' "$expected") --label "$binary" \
     <(printf '%s\n' "$seen"); then
  echo "FAIL: the resources of $binary differ"
  exit 1
fi

# The manifest, CREATEPROCESS_MANIFEST_RESOURCE_ID (1), as its text: windres
# lists it as C strings, quotes doubled.
manifest_part=$(sed -n '/^\/\* Type: 24$/,$p' <<<"$listing")
if [[ $(grep -c '^/\* Type:' <<<"$manifest_part") -ne 1 ]] ||
   ! grep -qx '1 24 /\* RT_MANIFEST \*/' <<<"$manifest_part"; then
  echo "FAIL: $binary carries no manifest of id 1 after its other resources, or more than it"
  exit 1
fi
manifest=$(sed -n 's/^  "\(.*\)\\n"$/\1/p' <<<"$manifest_part" | sed 's/""/"/g' | tr -s ' \n' ' ')
failures=0
expect_in_manifest() {
  if ! grep -qF -- "$1" <<<"$manifest"; then
    echo "FAIL: the manifest lacks: $1"
    failures=$((failures + 1))
  fi
}
expect_in_manifest '<requestedExecutionLevel level="requireAdministrator" uiAccess="false"/>'
for os in e2011457-1546-43c5-a5fe-008deee3d3f0 35138b9a-5d96-4fbd-8e2d-a2440225f93a \
          4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 1f676c76-80e1-4239-95bb-83d0f6d0da78 \
          8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do  # Vista, 7, 8, 8.1, 10 and 11
  expect_in_manifest "<supportedOS Id=\"{$os}\"/>"
done
expect_in_manifest '<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>'
expect_in_manifest 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"'
[[ $failures -eq 0 ]] || exit 1
echo "$binary: the dialog template, the version resource and the manifest, nothing else"
