// The one application object, constructed before the program's entry runs.
#include "update_app.h"

CUpdateApp theApp;
