#include "scan/checks.h"

#include "scan/scanner.h"

void CheckUninstall(CRegistryScanner&) {}

void CheckFonts(CRegistryScanner&) {}

void CheckSharedDlls(CRegistryScanner&) {}

void CheckAppPaths(CRegistryScanner&) {}

void CheckHelpFiles(CRegistryScanner&) {}
