// Resource identifiers of the update program.
#pragma once

#define IDD_KUP_DIALOG 102
