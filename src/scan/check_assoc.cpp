#include "scan/checks.h"

#include "scan/scanner.h"

void CheckFileAssociations(CRegistryScanner&) {}

void CheckSoundEvents(CRegistryScanner&) {}

void CheckEmptyKeys(CRegistryScanner&) {}
