#include "updater/signed_list.h"

#include "framework/hex.h"

namespace {

template <size_t N>
bool ParseHex(std::string_view digits, std::array<uint8_t, N>& bytes)
{
    if (digits.size() != 2 * N)
        return false;
    for (size_t i = 0; i < N; ++i) {
        const int high = HexDigit(digits[2 * i]);
        const int low = HexDigit(digits[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return true;
}

} // namespace

bool SplitSignedReply(std::string_view reply, std::string& list, SIGNATURE& signature, std::string& why)
{
    const size_t lineEnd = reply.find('\n');
    const size_t tab = reply.find('\t');
    if (tab == std::string_view::npos || (lineEnd != std::string_view::npos && tab > lineEnd)) {
        why = "it carries no signature";
        return false;
    }
    size_t end = reply.find_first_of("\r\n", tab + 1);
    if (end == std::string_view::npos)
        end = reply.size();
    if (!ParseHex(reply.substr(tab + 1, end - tab - 1), signature)) {
        why = "its signature is not 128 hex digits";
        return false;
    }
    list.assign(reply.substr(0, tab));
    list.append(reply.substr(end));
    return true;
}

bool ParseFileHash(std::string_view field, SHA256_DIGEST& digest)
{
    constexpr std::string_view kPrefix = "sha256:";
    if (field.substr(0, kPrefix.size()) != kPrefix)
        return false;
    field.remove_prefix(kPrefix.size());
    if (!field.empty() && field.back() == '\\')
        field.remove_suffix(1);
    return ParseHex(field, digest);
}
