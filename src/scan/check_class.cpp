#include "scan/checks.h"

#include "scan/scanner.h"

void CheckComActiveX(CRegistryScanner&) {}

void CheckClassKeys(CRegistryScanner&) {}

void CheckTypeLibraries(CRegistryScanner&) {}
