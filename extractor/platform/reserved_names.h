// Names that Windows keeps for itself or changes on the way to the disk. The
// Win32 backend refuses them as output names, and molt-pack refuses to pack
// them, so both sides apply the same rule on every system they are built on.
#pragma once

namespace molt::platform {

// CON, PRN, AUX, NUL, COM1-COM9 and LPT1-LPT9, in any case, name devices in
// every folder, whatever follows them after a dot (or a colon), and with
// blanks before it.
bool IsDeviceName(const char* name);

// The system drops dots and blanks at the end of a name, so '.. ' would name
// the parent folder and 'a.' another file than the pack says.
bool EndsInDotOrBlank(const char* name);

}  // namespace molt::platform
