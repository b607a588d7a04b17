#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The signed reply of the update server (scripts/sign-update-list writes it): the update list with
// its signature on line 0, after the product count and a tab, as 128 hex digits (r then s of an
// ECDSA P-256 signature, 32 bytes each, big-endian). The signature ends at the carriage return or
// line feed that ends line 0 (or at the end of the reply). It covers the reply with exactly the tab
// and the digits taken out: every other byte, in order. A reader of the count stops at the tab.
//
// Line 0 of the signed list is the product count, then " serial=" and the list's serial number and
// " expires=" and its last day (UTC), as YYYY-MM-DD: "1 serial=1765000000 expires=2026-03-07".
// Both are signed with the rest, so an old list cannot be served again as a new one: a reader keeps
// the highest serial it accepted and refuses a lower one, and refuses a list after its last day. A
// reader of the count stops at the blank.

using SIGNATURE = std::array<uint8_t, 64>;
using SHA256_DIGEST = std::array<uint8_t, 32>;
// The public key as CNG imports it: X then Y, 32 bytes each.
using P256_PUBLIC_KEY = std::array<uint8_t, 64>;

// Splits a reply into the list the signature covers and the signature. False, with the reason,
// when line 0 carries no signature or one that is not 128 hex digits.
bool SplitSignedReply(std::string_view reply, std::string& list, SIGNATURE& signature, std::string& why);

// The serial and the last day of a signed list, from its line 0 (up to its carriage return or line
// feed). The day counts days since 1970-01-01.
struct LIST_STAMP {
    uint64_t nSerial = 0;
    int64_t nLastDay = 0;
    std::string strLastDay;  // as written, YYYY-MM-DD
};

// False, with the reason, when line 0 is not the count followed by the serial and the last day in
// the form above.
bool ParseListStamp(std::string_view line0, LIST_STAMP& stamp, std::string& why);

// Days since 1970-01-01 of a date of the Gregorian calendar; false for a date that does not exist
// (or lies before 1970 or after 9999).
bool DayNumber(int year, int month, int day, int64_t& days);

// Whether a list with this stamp may be acted on, given the highest serial accepted before (0 for
// none) and today's day number (UTC): a lower serial and a list past its last day are refused,
// with the reason. The same serial again is the same list, fetched again.
bool IsListCurrent(const LIST_STAMP& stamp, uint64_t highestSerial, int64_t today, std::string& why);

// The second field of a file line: "sha256:" and the file's SHA-256 as 64 hex digits, followed by
// one backslash where the target is joined to the folder without a separator. False when the
// field holds anything else.
bool ParseFileHash(std::string_view field, SHA256_DIGEST& digest);

namespace signed_list_detail {

constexpr int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

// The DER of a P-256 SubjectPublicKeyInfo up to its point, and the uncompressed point's 0x04.
constexpr uint8_t kP256InfoPrefix[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x02, 0x01, 0x06,
                                       0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};

} // namespace signed_list_detail

// The body of a PEM "PUBLIC KEY" (base64 without line breaks) of an ECDSA P-256 key to X and Y.
// Constant-evaluable, so that a key given to the build is checked when it is compiled in.
constexpr bool DecodeP256PublicKey(std::string_view base64, P256_PUBLIC_KEY& key)
{
    using namespace signed_list_detail;
    constexpr size_t kPrefix = sizeof kP256InfoPrefix;
    uint8_t der[kPrefix + 64] = {};
    size_t count = 0;
    unsigned bits = 0;
    int pending = 0;
    size_t i = 0;
    for (; i < base64.size() && base64[i] != '='; ++i) {
        const int value = Base64Value(base64[i]);
        if (value < 0)
            return false;
        bits = (bits << 6) | static_cast<unsigned>(value);
        pending += 6;
        if (pending >= 8) {
            pending -= 8;
            if (count == sizeof der)
                return false;
            der[count++] = static_cast<uint8_t>((bits >> pending) & 0xFF);
        }
    }
    for (; i < base64.size(); ++i)
        if (base64[i] != '=')
            return false;
    if (count != sizeof der || base64.size() % 4 != 0)
        return false;
    for (size_t n = 0; n < kPrefix; ++n)
        if (der[n] != kP256InfoPrefix[n])
            return false;
    for (size_t n = 0; n < 64; ++n)
        key[n] = der[kPrefix + n];
    return true;
}
