// The install list: any text reads without fault into entries of seven fields; what the check writes
// (in text mode, so with CR LF line ends) reads back to the same folder and fields.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "require.h"
#include "updater/install_list.h"

namespace {

// A field as the server can send it: no tab and no line feed.
std::string Field(FuzzedDataProvider& in)
{
    std::string text = in.ConsumeRandomLengthString(40);
    std::erase(text, '\t');
    std::erase(text, '\n');
    return text;
}

std::string TextMode(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const INSTALL_LIST any = ParseInstallList(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const INSTALL_ENTRY& entry : any.arrEntries)
        Require(entry.strTarget.find('\t') == std::string::npos && entry.strTempName.find('\n') == std::string::npos,
                "fields hold no separators");

    FuzzedDataProvider in(data, size);
    std::string folder = Field(in);
    while (folder.size() < 3)
        folder += '\\';
    std::vector<std::vector<std::string>> written;
    std::string text = folder + "\n";
    while (in.remaining_bytes() > 0) {
        std::vector<std::string> fields;
        std::string line;
        for (int i = 0; i < 6; ++i) {
            fields.push_back(Field(in));
            line += (i ? "\t" : "") + fields.back();
        }
        fields.push_back(Field(in));
        text += FormatInstallEntry(line, fields.back());
        written.push_back(std::move(fields));
    }

    const INSTALL_LIST list = ParseInstallList(TextMode(text));
    Require(list.strFolder == folder, "the folder reads back");
    Require(list.arrEntries.size() == written.size(), "every entry reads back");
    for (size_t i = 0; i < written.size(); ++i) {
        const INSTALL_ENTRY& entry = list.arrEntries[i];
        const std::vector<std::string>& f = written[i];
        Require(entry.strTarget == f[0] && entry.strSeparatorHint == f[1] && entry.strUrl == f[3] &&
                    entry.strTempName == f[6],
                "the text fields read back");
        Require(entry.nSize == ReadNumber(f[2]) && entry.bArchive == (ReadNumber(f[4]) != 0) &&
                    entry.bRun == (ReadNumber(f[5]) != 0),
                "the number fields read back");
    }
    return 0;
}
