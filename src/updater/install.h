#pragma once

#include "updater/work_folder.h"

// Installs what the install list in work names into the folder of Patchwell.dll, then starts the
// setup program there, and removes work. Returns 1 after a run, 0 when no list could be read or
// the list names another folder.
int InstallFromFolder(CWorkFolder& work);
