#include "repair/repair.h"

#include "scan/scanner.h"

void RunRepair(CRegistryScanner&) {}
