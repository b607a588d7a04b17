// The signed reply of the update server: any text splits without fault, and what splits is the
// reply with exactly the tab and the 128 digits of line 0 taken out. A reply built the way
// scripts/sign-update-list builds it splits back into its list and signature; the file hash field
// reads only in its one form.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "framework/ascii.h"
#include "framework/hex.h"
#include "require.h"
#include "updater/signed_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view any(reinterpret_cast<const char*>(data), size);
    std::string list;
    SIGNATURE signature {};
    std::string why;
    if (SplitSignedReply(any, list, signature, why)) {
        const size_t tab = any.find('\t');
        Require(tab < any.find('\n'), "the signature is on line 0");
        Require(list.size() + 129 == any.size(), "only the tab and 128 digits are taken out");
        Require(list == std::string(any.substr(0, tab)) + std::string(any.substr(tab + 129)), "the rest is kept in order");
    }

    // A stamp reads from the front of line 0 only, its date in one form.
    LIST_STAMP stamp;
    if (ParseListStamp(any, stamp, why)) {
        Require(any.find(" serial=") < any.find(" expires="), "the serial comes before the expiry");
        Require(stamp.strLastDay.size() == 10 && any.find(stamp.strLastDay) != std::string_view::npos, "one date form");
    }

    SHA256_DIGEST digest {};
    if (ParseFileHash(any, digest)) {
        std::string field = LowerAscii(std::string(any));
        if (field.back() == '\\')
            field.pop_back();
        Require(field == "sha256:" + HexText(digest.data(), digest.size()), "a hash field has one form");
    }

    FuzzedDataProvider in(data, size);
    std::string count = in.ConsumeRandomLengthString(12);
    for (char& c : count)
        if (c == '\t' || c == '\n' || c == '\r')
            c = '1';
    SIGNATURE signed_ {};
    for (uint8_t& byte : signed_)
        byte = in.ConsumeIntegral<uint8_t>();
    std::string rest = in.ConsumeRemainingBytesAsString();
    if (!rest.empty() && rest[0] != '\r' && rest[0] != '\n')
        rest.insert(rest.begin(), '\n');
    const std::string reply = count + "\t" + HexText(signed_.data(), signed_.size()) + rest;
    Require(SplitSignedReply(reply, list, signature, why), "a signed reply splits");
    Require(list == count + rest && signature == signed_, "into the list and the signature that were signed");
    return 0;
}
