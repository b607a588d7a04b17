// The list control's markup: the tokens cover the text exactly, each of its kind; tags and colours
// parse without reading past them; slashes normalise to single forward slashes.
#include <cctype>
#include <string>
#include <string_view>

#include "controls/markup_tokens.h"
#include "require.h"

namespace {

bool IsSpace(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A copy of exactly the input's length, so that a read past a token's end shows.
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string joined;
    for (const MarkupToken& token : TokenizeMarkup(text)) {
        Require(!token.text.empty(), "no empty token");
        joined += token.text;
        switch (token.kind) {
        case MarkupTokenKind::Space:
            for (char c : token.text)
                Require(IsSpace(c), "a space token is all white space");
            break;
        case MarkupTokenKind::Word:
            for (char c : token.text)
                Require(!IsSpace(c) && c != '<', "a word holds no white space and no tag");
            break;
        case MarkupTokenKind::Tag: {
            Require(token.text[0] == '<' && token.text.find('>') >= token.text.size() - 1, "a tag runs to its '>'");
            const std::string tag(token.text);
            ParseMarkupTag(tag);
            uint32_t colour = 0;
            if (ParseFontColour(tag, colour))
                Require(colour <= 0xFFFFFF, "a colour has three bytes");
            break;
        }
        }
    }
    Require(joined == text, "the tokens cover the text");

    const std::string slashes = NormalizeSlashes(text);
    Require(slashes.size() <= text.size() && slashes.find('\\') == std::string::npos &&
                slashes.find("//") == std::string::npos,
            "slashes are single and forward");
    return 0;
}
