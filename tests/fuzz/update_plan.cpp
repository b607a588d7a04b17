// The update check's reading of a reply: any reply reads without fault, and what it plans to
// download is only ever what a file line names in full (six fields, a target inside the folder, a
// SHA-256, a size above 0). A list built the way scripts/sign-update-list builds it reads back into
// the products and files it was made of; one whose signature does not verify plans nothing.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "framework/hex.h"
#include "require.h"
#include "updater/field_list.h"
#include "updater/install_list.h"
#include "updater/update_plan.h"

namespace {

// A field as the server can send it: no tab, no line feed, at least one character.
std::string Field(FuzzedDataProvider& in, const char* fallback)
{
    std::string text = in.ConsumeRandomLengthString(24);
    std::erase(text, '\t');
    std::erase(text, '\n');
    std::erase(text, '\r');
    std::erase(text, '\0');
    return text.empty() ? fallback : text;
}

void CheckAnyPlan(const UPDATE_PLAN& plan)
{
    Require((plan.nState == UPDATE_PLAN::UP_REFUSED) == !plan.strRefusal.empty(), "a refusal says why");
    Require(plan.nState == UPDATE_PLAN::UP_READY || plan.products.empty(), "only a ready list has products");
    for (const PLANNED_PRODUCT& product : plan.products) {
        Require(product.strName.size() <= 1023 && product.strName.find('\0') == std::string::npos, "a name fits");
        Require(product.strVersion.size() <= 1023, "a version fits");
        Require((product.nFault == FF_NO_HASH || product.nFault == FF_NO_SIZE) == !product.strFaultTarget.empty(),
                "a fault of a file line names its target");
        for (const PLANNED_FILE& file : product.files) {
            const CFieldList parts(file.strLine, "\t");
            Require(parts.GetCount() == 6 && parts[0] == file.strTarget && parts[3] == file.strUrl,
                    "a planned file is a whole file line");
            Require(IsSafeRelativeName(file.strTarget) && file.nSize > 0, "inside the folder, with a size");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const bool verifies = in.ConsumeBool();
    const uint64_t highest = in.ConsumeIntegralInRange<uint64_t>(0, 3000000000);
    const int64_t today = in.ConsumeIntegralInRange<int64_t>(0, 30000);
    const std::string any = in.ConsumeRemainingBytesAsString();
    const UPDATE_PLAN plan = ReadUpdateReply(
        any, [&](std::string_view, const SIGNATURE&) { return verifies; }, highest, today);
    CheckAnyPlan(plan);
    if (!verifies)
        Require(plan.nState == UPDATE_PLAN::UP_REFUSED, "an unverified list is refused");

    // A well-formed list, signed: every product and file comes back, in order.
    FuzzedDataProvider built(data, size);
    std::vector<PLANNED_PRODUCT> products(built.ConsumeIntegralInRange<size_t>(1, 4));
    std::string body;
    bool restart = false;
    for (PLANNED_PRODUCT& product : products) {
        product.strName = Field(built, "software");
        product.strVersion = Field(built, "2.1.4");
        product.files.resize(built.ConsumeIntegralInRange<size_t>(0, 3));
        const bool flag = built.ConsumeBool();
        restart |= flag;
        body += product.strName + "\t" + product.strVersion + "\t" + std::to_string(product.files.size()) + "\t" +
                (flag ? "1" : "0") + "\n";
        for (PLANNED_FILE& file : product.files) {
            file.strTarget = Field(built, "Hivora.exe");
            if (!IsSafeRelativeName(file.strTarget))
                file.strTarget = "Hivora.exe";
            for (uint8_t& byte : file.digest)
                byte = built.ConsumeIntegral<uint8_t>();
            file.nSize = built.ConsumeIntegralInRange<int>(1, 1 << 30);
            file.strUrl = Field(built, "http://127.0.0.1/files/x");
            file.strLine = file.strTarget + "\tsha256:" + HexText(file.digest.data(), file.digest.size()) + "\t" +
                           std::to_string(file.nSize) + "\t" + file.strUrl + "\t0\t1";
            body += file.strLine + "\n";
        }
    }
    const std::string stamp = std::to_string(products.size()) + " serial=1765000000 expires=2030-01-01";
    const std::string reply = stamp + "\t" + std::string(128, 'a') + "\n" + body;
    std::string signedList;
    const UPDATE_PLAN read = ReadUpdateReply(
        reply,
        [&](std::string_view list, const SIGNATURE&) {
            signedList = list;
            return true;
        },
        1765000000, 21000);
    Require(signedList == stamp + "\n" + body, "the signature covers the list without its tab and digits");
    Require(read.nState == UPDATE_PLAN::UP_READY && !read.bBadProductLine && read.bRestart == restart,
            "a well-formed list is ready");
    Require(read.stamp.nSerial == 1765000000, "its serial is read");
    Require(read.products.size() == products.size(), "every product comes back");
    for (size_t p = 0; p < products.size(); ++p) {
        const PLANNED_PRODUCT& got = read.products[p];
        const PLANNED_PRODUCT& want = products[p];
        Require(got.strName == want.strName && got.strVersion == want.strVersion && got.nFault == FF_NONE,
                "a product reads back");
        Require(got.files.size() == want.files.size(), "with all its files");
        for (size_t f = 0; f < want.files.size(); ++f)
            Require(got.files[f].strLine == want.files[f].strLine && got.files[f].digest == want.files[f].digest &&
                        got.files[f].nSize == want.files[f].nSize && got.files[f].strUrl == want.files[f].strUrl,
                    "a file reads back");
    }
    return 0;
}
