#include "scan/checks.h"

#include "scan/scanner.h"

void CheckStartup(CRegistryScanner&) {}

void CheckFilePaths(CRegistryScanner&) {}

void CheckShortcuts(CRegistryScanner&) {}
