// The ignore list's file: whatever the keys hold and whatever the types are, the written text reads
// back to the same entries; any text reads without fault and writes back to what it read.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "repair/ignore_file.h"
#include "require.h"

namespace {

void RequireRoundTrip(const std::vector<REGPROBLEM_TYPE>& types, const std::vector<std::string>& keys)
{
    std::vector<REGPROBLEM_TYPE> backTypes;
    std::vector<std::string> backKeys;
    ParseIgnoreFile(FormatIgnoreFile(types, keys), backTypes, backKeys);
    Require(backKeys == keys, "the keys read back");
    Require(backTypes.size() == keys.size(), "one type per key");
    for (size_t i = 0; i < keys.size(); ++i)
        Require(backTypes[i] == (i < types.size() ? types[i] : REGPROBLEM_TYPE{}), "the types read back");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<REGPROBLEM_TYPE> types;
    std::vector<std::string> keys;
    ParseIgnoreFile(std::string_view(reinterpret_cast<const char*>(data), size), types, keys);
    Require(types.size() == keys.size() || types.size() == keys.size() + 1, "types and keys pair up");
    RequireRoundTrip(types, keys);

    FuzzedDataProvider in(data, size);
    types.clear();
    keys.clear();
    while (in.remaining_bytes() > 0) {
        types.push_back(static_cast<REGPROBLEM_TYPE>(in.ConsumeIntegral<int32_t>()));
        keys.push_back(in.ConsumeRandomLengthString(256));
    }
    RequireRoundTrip(types, keys);
    return 0;
}
