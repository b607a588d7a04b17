// The exclusion matcher equals a plain search: for any key path, it finds an entry exactly when the
// lower-cased path holds one as a substring. With a double-byte code page, a fragment counts only
// where it starts on a character, not on a trail byte. Package state and protected keys are
// judged by the key, whatever backslashes end its path, and package state covers a whole tree.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "repair/ansi_case.h"
#include "repair/exclusion_list.h"
#include "repair/pattern_matcher.h"
#include "repair/windows_keys.h"
#include "require.h"

namespace {

// Lead bytes as in code page 932; letters ASCII only.
const CAnsiCase& DoubleByteCase()
{
    static const CAnsiCase dbcs = [] {
        bool lead[256];
        unsigned char lower[256];
        for (int c = 0; c < 256; ++c) {
            lead[c] = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
            lower[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 0x20 : c);
        }
        return CAnsiCase(lead, lower);
    }();
    return dbcs;
}

// The reference: lower-case the text, then look for each fragment where a character starts.
bool PlainSearch(const std::vector<std::string>& fragments, const std::string& text, const CAnsiCase& textCase)
{
    const std::string lowered = textCase.Lower(text);
    std::vector<bool> trail(text.size(), false);
    for (size_t i = 0; i + 1 < text.size(); ++i)
        if (textCase.IsLeadByte(static_cast<unsigned char>(text[i])))
            trail[++i] = true;
    for (const std::string& fragment : fragments) {
        if (fragment.empty())
            continue;
        for (size_t at = lowered.find(fragment); at != std::string::npos; at = lowered.find(fragment, at + 1))
            if (!trail[at])
                return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path(reinterpret_cast<const char*>(data), size);
    const std::string cpath = path.c_str();
    Require(PassesExclusionList(cpath.c_str()) == !PlainSearch(ExclusionList(), cpath, CAnsiCase::System()),
            "the exclusion list matches as a plain search");

    Require(IsProtectedKey(cpath) == IsProtectedKey(cpath + "\\"), "a trailing backslash names the same key");
    if (IsPackageStateKey(cpath))
        Require(IsPackageStateKey(cpath + "\\x"), "package state covers its whole tree");
    NamesPackagedAppFolder(path);

    const std::string entry = NormalizeExclusionEntry(path);
    Require(NormalizeExclusionEntry(entry) == entry, "a stored entry is stored as it is");

    FuzzedDataProvider in(data, size);
    std::vector<std::string> fragments(in.ConsumeIntegralInRange<size_t>(0, 8));
    for (std::string& fragment : fragments)
        fragment = DoubleByteCase().Lower(in.ConsumeRandomLengthString(12));
    const std::string text = in.ConsumeRemainingBytesAsString();
    const CPatternMatcher matcher(fragments, DoubleByteCase());
    Require(matcher.ContainsAny(text) == PlainSearch(fragments, text, DoubleByteCase()),
            "the double-byte matcher matches as a plain search");
    return 0;
}
