// Linked into a copy of Hivora.exe in place of the program's own answer: this copy takes itself for
// the 32-bit build running on 64-bit Windows, which the test machine cannot run, so that the
// window tests see the program's refusals there.
#include "scan/scanner.h"

const char* WrongBuildRefusal()
{
    return WrongBuildRefusal(true, true);
}
