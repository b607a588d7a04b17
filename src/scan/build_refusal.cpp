#include <windows.h>

#include "scan/scanner.h"

// On its own, so that a test build of the program can answer for another system.
const char* WrongBuildRefusal()
{
    static const char* const refusal = [] {
        BOOL wow64 = FALSE;
        if (!IsWow64Process(GetCurrentProcess(), &wow64))
            wow64 = FALSE;
        return WrongBuildRefusal(sizeof(void*) == 4, wow64 != FALSE);
    }();
    return refusal;
}
