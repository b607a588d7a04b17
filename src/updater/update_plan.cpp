#include "updater/update_plan.h"

#include <algorithm>

#include "updater/field_list.h"
#include "updater/install_list.h"

namespace {

// The text a 1024-byte buffer holds after copying it: up to its first NUL, at most 1023 characters.
std::string CallbackText(const std::string& field)
{
    return field.substr(0, std::min<size_t>({field.find('\0'), field.size(), 1023}));
}

// Reads one file line of a product into it, or its fault.
void ReadFile(const std::string& line, PLANNED_PRODUCT& product)
{
    const CFieldList parts(line, "\t");
    if (parts.GetCount() != 6 || !IsSafeRelativeName(parts[0])) {
        product.nFault = FF_MALFORMED;
        return;
    }
    PLANNED_FILE file;
    file.strLine = line;
    file.strTarget = parts[0];
    file.nSize = ReadNumber(parts[2]);
    file.strUrl = parts[3];
    if (!ParseFileHash(parts[1], file.digest))
        product.nFault = FF_NO_HASH;
    else if (file.nSize < 1)
        product.nFault = FF_NO_SIZE;
    if (product.nFault != FF_NONE)
        product.strFaultTarget = file.strTarget;
    else
        product.files.push_back(std::move(file));
}

} // namespace

UPDATE_PLAN ReadUpdateReply(std::string_view reply, const VERIFY_LIST& verify, uint64_t highestSerial, int64_t today)
{
    UPDATE_PLAN plan;
    std::string list;
    SIGNATURE signature {};
    if (!SplitSignedReply(reply, list, signature, plan.strRefusal))
        return plan;
    if (!verify(list, signature)) {
        plan.strRefusal = "its signature does not match the update key";
        return plan;
    }
    const CFieldList lines(list, "\n");
    if (!ParseListStamp(lines[0], plan.stamp, plan.strRefusal) ||
        !IsListCurrent(plan.stamp, highestSerial, today, plan.strRefusal))
        return plan;
    plan.strRefusal.clear();
    const int products = ReadNumber(lines[0]);
    if (products < 1) {
        plan.nState = UPDATE_PLAN::UP_NO_PRODUCTS;
        return plan;
    }
    plan.nState = UPDATE_PLAN::UP_READY;
    // Lines past the end of the list read as empty, which every line kind takes as malformed.
    static const std::string empty;
    const auto line = [&](uint64_t i) -> const std::string& {
        return i < static_cast<uint64_t>(lines.GetCount()) ? lines[static_cast<int>(i)] : empty;
    };
    uint64_t index = 1;
    for (int n = 0; n < products; ++n) {
        const std::string& productLine = line(index++);
        const CFieldList fields(productLine, "\t");
        if (productLine.empty() || fields.GetCount() != 4) {
            plan.bBadProductLine = true;
            return plan;
        }
        PLANNED_PRODUCT& product = plan.products.emplace_back();
        product.strName = CallbackText(fields[0]);
        product.strVersion = CallbackText(fields[1]);
        plan.bRestart |= ReadNumber(fields[3]) != 0;
        const int files = std::max(0, ReadNumber(fields[2]));
        for (int file = 0; file < files && product.nFault == FF_NONE; ++file)
            ReadFile(line(index + static_cast<uint64_t>(file)), product);
        // The next product's line follows the file lines, whatever this product's fault.
        index += static_cast<uint64_t>(files);
    }
    return plan;
}
