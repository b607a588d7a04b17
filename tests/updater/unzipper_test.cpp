#include <gtest/gtest.h>

#include <windows.h>

#include <zlib.h>

#include <fstream>
#include <string>
#include <vector>

#include "framework/format.h"
#include "tempdir.h"
#include "updater/unzipper.h"

namespace {

struct ZIP_ENTRY {
    std::string name;
    std::string content;
    WORD date = 0x50B1;  // 2020-05-17
    WORD time = 0x5A8F;  // 11:20:30
};

void Put16(std::string& out, unsigned value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, unsigned long value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, (value >> 16) & 0xFFFF);
}

// A stored (uncompressed) zip archive; names ending in "/" become folder entries.
void WriteZip(const std::string& path, const std::vector<ZIP_ENTRY>& entries)
{
    std::string body, directory;
    for (const ZIP_ENTRY& entry : entries) {
        const unsigned long crc =
            crc32(0, reinterpret_cast<const Bytef*>(entry.content.data()), static_cast<uInt>(entry.content.size()));
        const unsigned long offset = body.size();
        std::string common;
        Put16(common, 0);
        Put16(common, 0);
        Put16(common, entry.time);
        Put16(common, entry.date);
        Put32(common, crc);
        Put32(common, entry.content.size());
        Put32(common, entry.content.size());
        Put16(common, entry.name.size());
        Put16(common, 0);

        Put32(body, 0x04034b50);
        Put16(body, 20);
        body += common + entry.name + entry.content;

        Put32(directory, 0x02014b50);
        Put16(directory, 20);
        Put16(directory, 20);
        directory += common;
        Put16(directory, 0);
        Put16(directory, 0);
        Put16(directory, 0);
        Put32(directory, entry.name.back() == '/' ? FILE_ATTRIBUTE_DIRECTORY : 0);
        Put32(directory, offset);
        directory += entry.name;
    }
    std::string end;
    Put32(end, 0x06054b50);
    Put16(end, 0);
    Put16(end, 0);
    Put16(end, entries.size());
    Put16(end, entries.size());
    Put32(end, directory.size());
    Put32(end, body.size());
    Put16(end, 0);
    std::ofstream(path, std::ios::binary) << body << directory << end;
}

std::string LocalWriteTime(const std::string& path, bool creation = false)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    FILETIME local;
    SYSTEMTIME when;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        !FileTimeToLocalFileTime(creation ? &data.ftCreationTime : &data.ftLastWriteTime, &local) ||
        !FileTimeToSystemTime(&local, &when))
        return {};
    return Format("%04u-%02u-%02u %02u:%02u:%02u", when.wYear, when.wMonth, when.wDay, when.wHour, when.wMinute,
                  when.wSecond);
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

TEST(CUnzipper, ExtractsTwoFolderLevelsWithTheEntriesDates)
{
    TempDir dir;
    const std::string zip = dir / "pack.zip";
    WriteZip(zip, {{"sub/dir/file.dll", "dll bytes"}, {"top.txt", "top", 0x4E22, 0x1882}, {"empty/", ""}});
    CUnzipper unzipper;
    ASSERT_TRUE(unzipper.Open(zip.c_str()));
    const std::string out = dir / "prog";
    ASSERT_TRUE(unzipper.ExtractAll(out.c_str(), false));

    EXPECT_EQ(ReadFileText(out + "\\sub\\dir\\file.dll"), "dll bytes");
    EXPECT_EQ(LocalWriteTime(out + "\\sub\\dir\\file.dll"), "2020-05-17 11:20:30");
    EXPECT_EQ(LocalWriteTime(out + "\\sub\\dir\\file.dll", true), "2020-05-17 11:20:30");
    EXPECT_EQ(ReadFileText(out + "\\top.txt"), "top");
    EXPECT_EQ(LocalWriteTime(out + "\\top.txt"), "2019-01-02 03:04:04");
    EXPECT_TRUE(GetFileAttributesA((out + "\\empty").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(CUnzipper, DropPathsKeepsOnlyTheFileName)
{
    TempDir dir;
    const std::string zip = dir / "pack.zip";
    WriteZip(zip, {{"sub/dir/a.txt", "a"}});
    CUnzipper unzipper;
    ASSERT_TRUE(unzipper.Open(zip.c_str()));
    ASSERT_TRUE(unzipper.ExtractAll(dir.Path().c_str(), true));
    EXPECT_EQ(ReadFileText(dir / "a.txt"), "a");
    EXPECT_FALSE(Exists(dir / "sub"));
}

TEST(CUnzipper, WithoutAFolderAnEntryGoesBesideTheArchiveInAFolderOfItsName)
{
    TempDir dir;
    const std::string zip = dir / "pack.zip";
    WriteZip(zip, {{"a.txt", "a"}});
    CUnzipper unzipper;
    ASSERT_TRUE(unzipper.Open(zip.c_str()));
    ASSERT_TRUE(unzipper.FirstEntry());
    ASSERT_TRUE(unzipper.ExtractEntry(nullptr, false));
    EXPECT_EQ(ReadFileText(dir / "pack\\a.txt"), "a");
}

TEST(CUnzipper, EntryNamesThatLeadOutsideStopTheExtraction)
{
    for (const std::string bad : {"../slip.txt", "ok/../../slip.txt", "/slip.txt", "\\slip.txt", "C:/slip.txt",
                                  "C:slip.txt", "//server/share/slip.txt"}) {
        TempDir dir;
        const std::string zip = dir / "pack.zip";
        WriteZip(zip, {{"first.txt", "1"}, {bad, "evil"}, {"after.txt", "3"}});
        CUnzipper unzipper;
        ASSERT_TRUE(unzipper.Open(zip.c_str()));
        const std::string out = dir / "out\\deeper";
        EXPECT_FALSE(unzipper.ExtractAll(out.c_str(), false)) << bad;
        EXPECT_TRUE(Exists(out + "\\first.txt")) << bad;
        EXPECT_FALSE(Exists(out + "\\after.txt")) << bad;
        EXPECT_FALSE(Exists(dir / "out\\slip.txt")) << bad;
        EXPECT_FALSE(Exists(dir / "slip.txt")) << bad;
        EXPECT_FALSE(Exists("C:\\slip.txt")) << bad;
    }
}

TEST(CUnzipper, EmptyOrMissingArchivesFail)
{
    TempDir dir;
    const std::string empty = dir / "empty.zip";
    WriteZip(empty, {});
    CUnzipper unzipper;
    EXPECT_FALSE(unzipper.Open(empty.c_str()) && unzipper.ExtractAll(dir.Path().c_str(), false));
    // With a stub in front (as self-extracting archives have) an empty archive opens, but
    // extracting it still fails.
    const std::string stubbed = dir.WriteFile("stubbed.zip", "STUB" + ReadFileText(empty));
    ASSERT_TRUE(unzipper.Open(stubbed.c_str()));
    EXPECT_FALSE(unzipper.ExtractAll(dir.Path().c_str(), false));

    EXPECT_FALSE(unzipper.Open(dir.WriteFile("text.zip", "not a zip").c_str()));
    EXPECT_FALSE(unzipper.Open((dir / "missing.zip").c_str()));
    EXPECT_FALSE(unzipper.ExtractAll(dir.Path().c_str(), false));
    EXPECT_FALSE(unzipper.FirstEntry());
}

TEST(CUnzipper, FindsEntriesByFileNameWithoutRegardToCase)
{
    TempDir dir;
    const std::string zip = dir / "pack.zip";
    WriteZip(zip, {{"a/readme.txt", "1"}, {"b/other.txt", "2"}, {"c/README.TXT", "3"}});
    CUnzipper unzipper;
    ASSERT_TRUE(unzipper.Open(zip.c_str()));
    UnzipEntryInfo info;
    ASSERT_TRUE(unzipper.FirstEntry("ReadMe.txt"));
    ASSERT_TRUE(unzipper.ReadEntryInfo(info));
    EXPECT_STREQ(info.szFileName, "a\\readme.txt");
    EXPECT_EQ(info.dwUncompressedSize, 1u);
    EXPECT_FALSE(info.bFolder);
    ASSERT_TRUE(unzipper.NextEntry("readme.txt"));
    ASSERT_TRUE(unzipper.ReadEntryInfo(info));
    EXPECT_STREQ(info.szFileName, "c\\README.TXT");
    EXPECT_FALSE(unzipper.NextEntry("readme.txt"));
    EXPECT_FALSE(unzipper.FirstEntry("none.txt"));
}

TEST(CUnzipper, EnsureFolderCreatesMissingLevelsAndRefusesFiles)
{
    TempDir dir;
    EXPECT_TRUE(CUnzipper::EnsureFolder((dir / "a\\b\\c").c_str()));
    EXPECT_TRUE(GetFileAttributesA((dir / "a\\b\\c").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(CUnzipper::EnsureFolder((dir / "a\\b\\").c_str()));
    EXPECT_TRUE(CUnzipper::EnsureFolder((dir.Path() + "\\\\x\\y\\").c_str()));
    EXPECT_FALSE(CUnzipper::EnsureFolder(dir.WriteFile("file", "x").c_str()));
    EXPECT_FALSE(CUnzipper::EnsureFolder((dir / "file\\below").c_str()));
    EXPECT_FALSE(CUnzipper::EnsureFolder(""));
    EXPECT_FALSE(CUnzipper::EnsureFolder(nullptr));

    EXPECT_TRUE(CUnzipper::EnsureParentFolder((dir / "p\\q\\file.txt").c_str()));
    EXPECT_TRUE(GetFileAttributesA((dir / "p\\q").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(CUnzipper::EnsureParentFolder("file.txt"));
}

TEST(CUnzipper, StampFileTimeSetsCreationAndLastWrite)
{
    TempDir dir;
    const std::string file = dir.WriteFile("f.txt", "x");
    ASSERT_TRUE(CUnzipper::StampFileTime(file.c_str(), MAKELONG(0x5A8F, 0x50B1)));
    EXPECT_EQ(LocalWriteTime(file), "2020-05-17 11:20:30");
    EXPECT_EQ(LocalWriteTime(file, true), "2020-05-17 11:20:30");
    EXPECT_FALSE(CUnzipper::StampFileTime((dir / "missing.txt").c_str(), MAKELONG(0x5A8F, 0x50B1)));
}
