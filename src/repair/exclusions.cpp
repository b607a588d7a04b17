#include "scan/scanner.h"

bool IsProblemSuppressed(const CRegistryProblem&)
{
    return false;
}
