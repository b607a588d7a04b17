#include "controls/markup_tokens.h"
#include "framework/ascii.h"
#include "framework/hex.h"

#include <cctype>

namespace {

bool IsSpace(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

struct TagName {
    const char* name;
    MarkupTagKind kind;
};

const TagName kTags[] = {
    {"b", MarkupTagKind::Bold},         {"strong", MarkupTagKind::Bold},     {"i", MarkupTagKind::Italic},
    {"em", MarkupTagKind::Italic},      {"u", MarkupTagKind::Underline},     {"sub", MarkupTagKind::Subscript},
    {"sup", MarkupTagKind::Superscript}, {"font", MarkupTagKind::Font},      {"br", MarkupTagKind::LineBreak},
    {"p", MarkupTagKind::Paragraph},
};

} // namespace

std::string NormalizeSlashes(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        const char out = c == '\\' ? '/' : c;
        if (out == '/' && !result.empty() && result.back() == '/')
            continue;
        result += out;
    }
    return result;
}

std::vector<MarkupToken> TokenizeMarkup(std::string_view text)
{
    std::vector<MarkupToken> tokens;
    size_t i = 0;
    while (i < text.size()) {
        const size_t start = i;
        MarkupTokenKind kind;
        if (IsSpace(text[i])) {
            kind = MarkupTokenKind::Space;
            while (i < text.size() && IsSpace(text[i]))
                ++i;
        } else if (text[i] == '<') {
            kind = MarkupTokenKind::Tag;
            while (i < text.size() && text[i] != '>')
                ++i;
            if (i < text.size())
                ++i;
        } else {
            kind = MarkupTokenKind::Word;
            while (i < text.size() && !IsSpace(text[i]) && text[i] != '<')
                ++i;
        }
        tokens.push_back({kind, text.substr(start, i - start)});
    }
    return tokens;
}

MarkupTag ParseMarkupTag(std::string_view tag)
{
    MarkupTag result;
    if (tag.empty() || tag[0] != '<')
        return result;
    std::string_view name = tag.substr(1);
    if (!name.empty() && name[0] == '/') {
        result.closing = true;
        name.remove_prefix(1);
    }
    // Searched from the end, so that "br" is tried before "b".
    for (size_t i = std::size(kTags); i-- > 0;) {
        if (StartsWithAsciiNoCase(name, kTags[i].name)) {
            result.kind = kTags[i].kind;
            break;
        }
    }
    return result;
}

bool ParseFontColour(std::string_view tag, uint32_t& colour)
{
    constexpr std::string_view kOpen = "<font ";
    constexpr std::string_view kColour = "color=";
    if (!StartsWithAsciiNoCase(tag, kOpen))
        return false;
    std::string_view rest = tag.substr(kOpen.size());
    if (!StartsWithAsciiNoCase(rest, kColour))
        return false;
    rest.remove_prefix(kColour.size());
    if (!rest.empty() && (rest[0] == '"' || rest[0] == '\''))
        rest.remove_prefix(1);
    if (!rest.empty() && rest[0] == '#')
        rest.remove_prefix(1);
    if (rest.size() < 6)
        return false;
    uint32_t rgb = 0;
    for (size_t i = 0; i < 6; ++i) {
        const int digit = HexDigit(rest[i]);
        if (digit < 0)
            return false;
        rgb = rgb << 4 | static_cast<uint32_t>(digit);
    }
    colour = (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
    return true;
}
