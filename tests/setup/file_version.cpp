// Prints what the version resource of each file says, one line each:
//   FileVersion<TAB>ProductVersion<TAB>fixed file version<TAB>fixed product version
// (an empty line for a file without one). Exits 1 when any file has none.
//   file_version.exe FILE...
#include <cstdio>

#include "version_info.h"

int main(int argc, char** argv)
{
    int rc = 0;
    for (int i = 1; i < argc; ++i) {
        const FILE_VERSION version = ReadFileVersion(argv[i]);
        if (!version.bFound)
            rc = 1;
        std::printf("%s\t%s\t%s\t%s\n", version.strFileVersion.c_str(), version.strProductVersion.c_str(),
                    version.strFixed.c_str(), version.strProduct.c_str());
    }
    return rc;
}
