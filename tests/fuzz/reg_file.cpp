// The backup file: any bytes parse without fault, and whatever is written parses back to the same
// keys, names, types and data: names of any UTF-16 text, data of any bytes and type.
#include <fuzzer/FuzzedDataProvider.h>

#include <iterator>
#include <string>
#include <vector>

#include "framework/utf16.h"
#include "repair/reg_file.h"
#include "require.h"

namespace {

// As the backup writes it: the Unicode format, one section line per value.
std::string WriteFile(const std::vector<REG_FILE_KEY>& keys)
{
    std::string text = std::string(RegFileHeader(REGFILE_VERSION5)) + "\n";
    for (const REG_FILE_KEY& key : keys) {
        if (key.values.empty())
            text += FormatSectionLine(key.strPath);
        for (const REG_FILE_VALUE& value : key.values)
            text += FormatSectionLine(key.strPath) +
                    FormatValueLine(value.strName, value.nType, value.data, REGFILE_VERSION5);
    }
    return std::string(kRegFileBom) + EncodeRegFileText(text);
}

void RequireRoundTrip(const std::vector<REG_FILE_KEY>& keys)
{
    std::vector<REG_FILE_KEY> back;
    std::string error;
    Require(ParseRegFile(WriteFile(keys), back, error), "a written file parses");
    size_t at = 0;
    for (const REG_FILE_KEY& key : keys) {
        if (key.values.empty()) {
            Require(at < back.size() && back[at].strPath == key.strPath && back[at].values.empty(),
                    "an empty key reads back");
            ++at;
        }
        for (const REG_FILE_VALUE& value : key.values) {
            Require(at < back.size() && back[at].strPath == key.strPath && back[at].values.size() == 1,
                    "each record reads back as one section with one value");
            const REG_FILE_VALUE& got = back[at++].values[0];
            Require(got.strName == value.strName, "the value name reads back");
            Require(got.nType == value.nType, "the value type reads back");
            Require(got.data == value.data, "the value data reads back");
        }
    }
    Require(at == back.size(), "no extra sections");
}

// A name as the wide registry calls give it, in UTF-8: any UTF-16 units but the terminator, and no
// line feed or carriage return, for which the registry editor's notation has no escape (the backup
// refuses such a name: RegFileCanHoldName).
std::string RegistryName(FuzzedDataProvider& in)
{
    const std::string bytes = in.ConsumeRandomLengthString(128);
    std::u16string units;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (unit != 0 && unit != u'\n' && unit != u'\r')
            units += unit;
    }
    return Utf16ToUtf8(units);
}

uint32_t PickType(FuzzedDataProvider& in)
{
    // None, string, expandable string, binary, double word, multi-string.
    static const uint32_t kTypes[] = {0, 1, 2, 3, 4, 7};
    const uint8_t pick = in.ConsumeIntegral<uint8_t>();
    return pick < 240 ? kTypes[pick % std::size(kTypes)] : in.ConsumeIntegral<uint32_t>();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<REG_FILE_KEY> parsed;
    std::string error;
    if (ParseRegFile(std::string(reinterpret_cast<const char*>(data), size), parsed, error))
        RequireRoundTrip(parsed);

    FuzzedDataProvider in(data, size);
    REG_FILE_KEY key{"HKEY_CURRENT_USER\\" + RegistryName(in), {}};
    while (in.remaining_bytes() > 0) {
        REG_FILE_VALUE value;
        value.strName = RegistryName(in);
        value.nType = PickType(in);
        value.data = in.ConsumeRandomLengthString(512);
        key.values.push_back(std::move(value));
    }
    RequireRoundTrip({key});
    return 0;
}
