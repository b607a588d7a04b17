#include "scan/path_rules.h"

#include <windows.h>

#include "framework/wide_text.h"

std::string ExpandEnvironment(const std::string& text)
{
    // Wide, so that a variable holding text outside the code page (a profile folder in another
    // script) is known as such rather than turned into look-alike letters.
    wchar_t out[kPathBuffer];
    const DWORD n = ExpandEnvironmentStringsW(Widen(text).c_str(), out, kPathBuffer);
    if (n == 0 || n > kPathBuffer)
        return {};
    std::string ansi;
    if (!ExactAnsi(out, n - 1, ansi)) {
        // A question mark can be part of no file name: the path counts as present.
        ansi = NarrowMarkingLoss(out, n - 1);
        if (!IsUntestablePath(ansi))
            ansi.assign(1, '?');
    }
    return ansi.size() < kPathBuffer ? ansi : std::string();
}

std::string NormalizeFilePath(std::string& text)
{
    text = CutAtFileExtension(text);
    return Win32PathFromNtPath(ExpandEnvironment(text));
}
