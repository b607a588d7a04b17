// The path rules: on any registry text they stay inside their input and give paths no longer than
// the engine's path buffer holds.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "require.h"
#include "scan/path_rules.h"
#include "scan/presence_rules.h"
#include "scan/volatile_places.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const std::string raw = in.ConsumeRandomLengthString(2048);
    const std::string extracted = in.ConsumeRandomLengthString(1200);
    const std::string normalized = in.ConsumeRemainingBytesAsString();

    Require(ExtractCommandTarget(raw).size() < kPathBuffer, "a command target fits the path buffer");
    const std::string cut = CutAtFileExtension(raw);
    Require(raw.find(cut) != std::string::npos, "the cut path is part of the text");
    Require(RestoreNameTail(raw, extracted, normalized).size() < kPathBuffer, "a restored name fits the path buffer");
    Require(FitPathBuffer(normalized).size() < kPathBuffer, "a fitted path fits the path buffer");

    // The 64-bit view rules: any text, within its bounds.
    IsWow64KeyPath(raw);
    X86FolderReferences(raw);
    Path32BitView(raw, extracted);

    // A native name is turned into a file path once; the file path stays as it is.
    const std::string named = Win32PathFromNtPath(raw);
    Require(Win32PathFromNtPath(named) == named, "a native name is converted once");
    Require(named.size() <= raw.size(), "the file path is no longer than the name");

    // A drive root is the drive letter of the path with ":\" after it; anything else names no drive.
    const std::string root = DriveRootOf(raw);
    Require(root.empty() || (root.size() == 3 && root[1] == ':' && root[2] == '\\' &&
                             raw.find(root.substr(0, 2)) != std::string::npos),
            "a drive root is a drive letter's root from the path");
    IsVolatileKeyPlace(raw);

    size_t previous = 0;
    for (const std::string& candidate : CommandLineCandidates(raw)) {
        Require(candidate.size() > previous || previous == 0, "candidates grow, shortest first");
        Require(raw.find(candidate) != std::string::npos, "a candidate is part of the command line");
        previous = candidate.size();
    }
    return 0;
}
