#include "scan/checks.h"

#include "scan/scanner.h"

void CheckDeepScan(CRegistryScanner&) {}
