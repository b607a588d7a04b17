// The update server's reply is split by CFieldList and read by ReadNumber: fields join back to the
// text, indices outside the list throw, and numbers read as atoi would, saturated instead of wrapped.
#include <climits>
#include <stdexcept>
#include <string>

#include "require.h"
#include "updater/field_list.h"
#include "updater/install_list.h"

namespace {

long long ReferenceNumber(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        ++i;
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && value <= INT_MAX; ++i)
        value = value * 10 + (text[i] - '0');
    if (value > INT_MAX)
        return negative ? INT_MIN : INT_MAX;
    return negative ? -value : value;
}

bool Throws(const CFieldList& fields, int index)
{
    try {
        fields.GetAt(index);
    } catch (const std::out_of_range&) {
        return true;
    }
    return false;
}

void RequireSplit(const std::string& text, char separator)
{
    const CFieldList fields(text, std::string(1, separator));
    std::string joined;
    for (int i = 0; i < fields.GetCount(); ++i) {
        Require(fields[i].find(separator) == std::string::npos, "no field holds the separator");
        joined += (i > 0 ? std::string(1, separator) : std::string()) + fields[i];
        Require(ReadNumber(fields[i]) == ReferenceNumber(fields[i]), "numbers read as atoi, saturated");
    }
    Require(joined == text, "the fields join back to the text");
    Require(Throws(fields, -1) && Throws(fields, fields.GetCount()), "indices outside the list throw");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    RequireSplit(text, '\n');
    RequireSplit(text, '\t');
    const CFieldList bad(text, "\t\n");
    Require(bad.GetCount() == 1 && bad[0].empty(), "a separator of other than one character gives one empty field");
    return 0;
}
