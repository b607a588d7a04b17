#pragma once

#include <string>

// What a program file's version resource says about its version.
struct FILE_VERSION {
    bool bFound = false;
    std::string strFixed;    // the fixed part's file version, "a.b.c.d"
    std::string strProduct;  // the fixed part's product version, "a.b.c.d"
    std::string strFileVersion;     // the strings "FileVersion" and "ProductVersion" (US English,
    std::string strProductVersion;  // Unicode)
};

FILE_VERSION ReadFileVersion(const std::string& path);
