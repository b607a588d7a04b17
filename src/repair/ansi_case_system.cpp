#include "repair/ansi_case.h"

#include <windows.h>

#include "framework/ascii.h"

namespace {

// The lower-case form of a single-byte character, as the code page's own case map gives it; the
// byte itself when its lower case is not one byte of the same code page.
unsigned char SystemLowerByte(unsigned char c)
{
    if (c < 0x80)
        return static_cast<unsigned char>(LowerAscii(static_cast<char>(c)));
    const char in = static_cast<char>(c);
    WCHAR wide = 0;
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, &in, 1, &wide, 1) != 1)
        return c;
    WCHAR lowered = 0;
    if (LCMapStringW(LOCALE_INVARIANT, LCMAP_LOWERCASE, &wide, 1, &lowered, 1) != 1)
        return c;
    char out[2] = {};
    BOOL lossy = FALSE;
    if (WideCharToMultiByte(CP_ACP, 0, &lowered, 1, out, sizeof out, nullptr, &lossy) != 1 || lossy)
        return c;
    return static_cast<unsigned char>(out[0]);
}

CAnsiCase BuildSystem()
{
    bool lead[256];
    unsigned char lower[256];
    for (int c = 0; c < 256; ++c) {
        lead[c] = IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(c)) != FALSE;
        lower[c] = lead[c] ? static_cast<unsigned char>(c) : SystemLowerByte(static_cast<unsigned char>(c));
    }
    return CAnsiCase(lead, lower);
}

} // namespace

const CAnsiCase& CAnsiCase::System()
{
    static const CAnsiCase system = BuildSystem();
    return system;
}
