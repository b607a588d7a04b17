#include "framework/wide_text.h"

#include "framework/utf16.h"

std::wstring Widen(const std::string& ansi)
{
    if (ansi.empty())
        return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n);
    return wide;
}

bool ExactAnsi(const wchar_t* text, size_t length, std::string& out)
{
    // Every ANSI code page keeps ASCII as it is; most texts need no conversion at all.
    size_t i = 0;
    while (i < length && text[i] < 0x80)
        ++i;
    if (i == length) {
        out.assign(length, '\0');
        for (size_t k = 0; k < length; ++k)
            out[k] = static_cast<char>(text[k]);
        return true;
    }
    const int wideLength = static_cast<int>(length);
    const int n = WideCharToMultiByte(CP_ACP, 0, text, wideLength, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return false;
    std::string ansi(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, wideLength, ansi.data(), n, nullptr, nullptr);
    if (Widen(ansi) != std::wstring(text, length))
        return false;
    out = std::move(ansi);
    return true;
}

namespace {

std::string NarrowWith(const wchar_t* text, size_t length, DWORD flags, const char* lost)
{
    if (length == 0)
        return {};
    const int wideLength = static_cast<int>(length);
    const int n = WideCharToMultiByte(CP_ACP, flags, text, wideLength, nullptr, 0, lost, nullptr);
    std::string ansi(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, flags, text, wideLength, ansi.data(), n, lost, nullptr);
    return ansi;
}

} // namespace

std::string Narrow(const std::wstring& text)
{
    return NarrowWith(text.data(), text.size(), 0, nullptr);
}

std::string NarrowMarkingLoss(const wchar_t* text, size_t length)
{
    return NarrowWith(text, length, WC_NO_BEST_FIT_CHARS, "?");
}

std::string WideToUtf8(const std::wstring& text)
{
    return Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

std::wstring Utf8ToWide(const std::string& text)
{
    const std::u16string units = Utf8ToUtf16(text);
    return std::wstring(units.begin(), units.end());
}
