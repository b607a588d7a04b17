// The host's stand-in for the system's case tables: code page 1252, single-byte.
#include "repair/ansi_case.h"

const CAnsiCase& CAnsiCase::System()
{
    static const CAnsiCase system = [] {
        bool lead[256] = {};
        unsigned char lower[256];
        for (int c = 0; c < 256; ++c) {
            const bool upper = (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
            lower[c] = static_cast<unsigned char>(upper ? c + 0x20 : c);
        }
        lower[0x8A] = 0x9A;
        lower[0x8C] = 0x9C;
        lower[0x8E] = 0x9E;
        lower[0x9F] = 0xFF;
        return CAnsiCase(lead, lower);
    }();
    return system;
}
