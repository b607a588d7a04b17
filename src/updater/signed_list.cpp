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

bool DayNumber(int year, int month, int day, int64_t& days)
{
    if (year < 1970 || year > 9999 || month < 1 || month > 12 || day < 1)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    static const int kLengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (day > kLengths[month - 1] + (month == 2 && leap ? 1 : 0))
        return false;
    // Days from 1970 to the year, then to the month, counting leap days.
    int64_t total = 0;
    for (int y = 1970; y < year; ++y)
        total += ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0) ? 366 : 365;
    for (int m = 1; m < month; ++m)
        total += kLengths[m - 1] + (m == 2 && leap ? 1 : 0);
    days = total + day - 1;
    return true;
}

namespace {

// Reads digits (at least one, at most maxDigits) from the front of text.
bool TakeDigits(std::string_view& text, size_t maxDigits, uint64_t& value)
{
    size_t n = 0;
    value = 0;
    while (n < text.size() && n < maxDigits + 1 && text[n] >= '0' && text[n] <= '9')
        value = value * 10 + static_cast<uint64_t>(text[n++] - '0');
    if (n == 0 || n > maxDigits)
        return false;
    text.remove_prefix(n);
    return true;
}

bool TakeText(std::string_view& text, std::string_view expected)
{
    if (text.substr(0, expected.size()) != expected)
        return false;
    text.remove_prefix(expected.size());
    return true;
}

} // namespace

bool ParseListStamp(std::string_view line0, LIST_STAMP& stamp, std::string& why)
{
    line0 = line0.substr(0, line0.find_first_of("\r\n"));
    uint64_t count = 0;
    uint64_t year = 0;
    uint64_t month = 0;
    uint64_t day = 0;
    // The serial: up to 19 digits, which every value fits in 64 bits.
    if (!TakeDigits(line0, 9, count) || !TakeText(line0, " serial=") || !TakeDigits(line0, 19, stamp.nSerial) ||
        !TakeText(line0, " expires=")) {
        why = "it carries no serial and expiry date";
        return false;
    }
    std::string_view date = line0;
    if (date.size() != 10 || !TakeDigits(line0, 4, year) || !TakeText(line0, "-") || !TakeDigits(line0, 2, month) ||
        !TakeText(line0, "-") || !TakeDigits(line0, 2, day) || !line0.empty() ||
        !DayNumber(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day), stamp.nLastDay)) {
        why = "its expiry date " + std::string(date) + " is no date";
        return false;
    }
    stamp.strLastDay.assign(date);
    return true;
}

bool IsListCurrent(const LIST_STAMP& stamp, uint64_t highestSerial, int64_t today, std::string& why)
{
    if (stamp.nSerial < highestSerial) {
        why = "it is an older list (serial " + std::to_string(stamp.nSerial) + ", lower than " +
              std::to_string(highestSerial) + " accepted before)";
        return false;
    }
    if (today > stamp.nLastDay) {
        why = "it expired after " + stamp.strLastDay;
        return false;
    }
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
