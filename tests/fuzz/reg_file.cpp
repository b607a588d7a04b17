// The backup file: any text parses without fault, and whatever is written parses back to the same
// keys, names, types and data, in both file versions.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "framework/reg_types.h"
#include "repair/reg_file.h"
#include "require.h"

namespace {

std::string WriteFile(const std::vector<REG_FILE_KEY>& keys, REG_FILE_VERSION version)
{
    std::string text = std::string(RegFileHeader(version)) + "\n";
    for (const REG_FILE_KEY& key : keys) {
        if (key.values.empty())
            text += FormatSectionLine(key.strPath);
        for (const REG_FILE_VALUE& value : key.values)
            text += FormatSectionLine(key.strPath) + FormatValueLine(value.strName, value.nType, value.data, version);
    }
    return text;
}

// The file holds one section per written value (and one for a key without values).
void RequireRoundTrip(const std::vector<REG_FILE_KEY>& keys, REG_FILE_VERSION version)
{
    std::vector<REG_FILE_KEY> back;
    std::string error;
    Require(ParseRegFile(WriteFile(keys, version), back, error), "a written file parses");
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

// Text the registry can hold in a key or value name: no terminator, and no line feed, for which
// the registry editor's notation has no escape.
std::string RegistryName(std::string text)
{
    std::erase(text, '\0');
    std::erase(text, '\n');
    return text;
}

uint32_t PickType(FuzzedDataProvider& in)
{
    static const uint32_t kTypes[] = {REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ};
    const uint8_t pick = in.ConsumeIntegral<uint8_t>();
    return pick < 240 ? kTypes[pick % std::size(kTypes)] : in.ConsumeIntegral<uint32_t>();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<REG_FILE_KEY> parsed;
    std::string error;
    if (ParseRegFile(std::string(reinterpret_cast<const char*>(data), size), parsed, error)) {
        RequireRoundTrip(parsed, REGFILE_REGEDIT4);
        RequireRoundTrip(parsed, REGFILE_VERSION5);
    }

    FuzzedDataProvider in(data, size);
    const REG_FILE_VERSION version = in.ConsumeBool() ? REGFILE_VERSION5 : REGFILE_REGEDIT4;
    REG_FILE_KEY key{"HKEY_CURRENT_USER\\" + RegistryName(in.ConsumeRandomLengthString(64)), {}};
    while (in.remaining_bytes() > 0) {
        REG_FILE_VALUE value;
        value.strName = RegistryName(in.ConsumeRandomLengthString(64));
        value.nType = PickType(in);
        value.data = in.ConsumeRandomLengthString(512);
        key.values.push_back(std::move(value));
    }
    RequireRoundTrip({key}, version);
    return 0;
}
