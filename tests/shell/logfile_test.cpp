#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <thread>
#include <vector>

#include "framework/format.h"
#include "framework/handles.h"
#include "links.h"
#include "shell/logfile.h"
#include "tempdir.h"

namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(text.substr(start, at - start));
    EXPECT_EQ(start, text.size()) << "every line ends with CR LF";
    return lines;
}

// Pruning only deletes files created at least a second ago.
void LetFilesAge()
{
    Sleep(1100);
}

std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA((folder + "\\*").c_str(), &entry));
    if (find) {
        do {
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(entry.cFileName);
        } while (FindNextFileA(find.get(), &entry));
    }
    return names;
}

} // namespace

TEST(LogFile, RecordLayout)
{
    TempDir dir;
    CLogFile log(dir / "a.log");
    ASSERT_TRUE(log.Write("Scanning started", 0));
    ASSERT_TRUE(log.Write("careful", 1));
    ASSERT_TRUE(log.Write("broken", 2));
    ASSERT_TRUE(log.Write("odd", 7));
    const auto lines = Lines(ReadFileText(log.m_strPath));
    ASSERT_EQ(lines.size(), 4u);
    const std::string stamp = R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d (AM|PM)--)";
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(stamp + "INFO --Scanning started"))) << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(stamp + "WARN --careful"))) << lines[1];
    EXPECT_TRUE(std::regex_match(lines[2], std::regex(stamp + "ERROR--broken"))) << lines[2];
    EXPECT_TRUE(std::regex_match(lines[3], std::regex(stamp + "--odd"))) << lines[3];
}

TEST(LogFile, FixedClockFormatsAsSpecified)
{
    struct tm when {};
    when.tm_year = 107;
    when.tm_mon = 6;
    when.tm_mday = 16;
    when.tm_hour = 14;
    when.tm_min = 5;
    when.tm_sec = 9;
    CLogFile log("unused");
    EXPECT_EQ(FormatLogRecord(log, "Scanning started", 0, when), "07/16/2007 14:05:09 PM--INFO --Scanning started");
    EXPECT_EQ(LogFilePath("C:\\Hivora\\", when), "C:\\Hivora\\Logs\\HV_July_16_07_14_05_09.log");
    EXPECT_EQ(LogFolderPath("C:\\Hivora\\"), "C:\\Hivora\\Logs");
    log.m_bTimestamp = false;
    log.m_bLevel = false;
    EXPECT_EQ(FormatLogRecord(log, "x", 0, when), "x");
}

TEST(LogFile, MultiLineMessagesCarryThePrefixOnce)
{
    TempDir dir;
    CLogFile log(dir / "a.log");
    ASSERT_TRUE(log.Write("Scanning started\n" + std::string(76, '-'), 0));
    ASSERT_TRUE(log.Write("FindingFonts\n", 0));
    const auto lines = Lines(ReadFileText(log.m_strPath));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[0].find("--INFO --Scanning started"), std::string::npos);
    EXPECT_EQ(lines[1], std::string(76, '-'));
    EXPECT_NE(lines[2].find("--INFO --FindingFonts"), std::string::npos);
    EXPECT_EQ(lines[3], "");
}

TEST(LogFile, RecordsFromManyThreadsNeverInterleave)
{
    TempDir dir;
    CLogFile log(dir / "a.log");
    const std::string big(100000, 'b');
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i)
                log.Write(Format("thread %d record %d ", t, i) + (i % 10 == 0 ? big : std::string(40, 'a' + t)), 0);
        });
    for (auto& w : writers)
        w.join();
    const auto lines = Lines(ReadFileText(log.m_strPath));
    ASSERT_EQ(lines.size(), 200u);
    int counts[4] = {};
    for (const auto& line : lines) {
        const size_t at = line.find("--INFO --thread ");
        ASSERT_NE(at, std::string::npos);
        int t = -1;
        int i = -1;
        int used = 0;
        ASSERT_EQ(sscanf(line.c_str() + at, "--INFO --thread %d record %d %n", &t, &i, &used), 2);
        ASSERT_TRUE(t >= 0 && t < 4);
        ++counts[t];
        const std::string body = line.substr(at + used);
        EXPECT_EQ(body, i % 10 == 0 ? big : std::string(40, 'a' + t)) << line.substr(0, 80);
    }
    for (int count : counts)
        EXPECT_EQ(count, 50);
}

TEST(LogFile, AFileThatCannotBeOpenedLosesTheRecordOnly)
{
    TempDir dir;
    CLogFile log(dir / "missing\\a.log");
    EXPECT_FALSE(log.Write("lost", 0));
    CreateDirectoryA((dir / "missing").c_str(), nullptr);
    EXPECT_TRUE(log.Write("kept", 0));
    EXPECT_NE(ReadFileText(log.m_strPath).find("kept"), std::string::npos);
}

TEST(PruneLogFolder, LeavesFiveOrFewer)
{
    TempDir dir;
    for (int i = 0; i < 3; ++i)
        dir.WriteFile(Format("HV_%d.log", i));
    LetFilesAge();
    PruneLogFolder(dir.Path(), false);
    EXPECT_EQ(Names(dir.Path()).size(), 3u);
}

TEST(PruneLogFolder, EightOldFilesKeepTheLastFiveEnumerated)
{
    TempDir dir;
    for (int i = 0; i < 8; ++i)
        dir.WriteFile(Format("HV_%d.log", i));
    LetFilesAge();
    const std::string readOnly = dir / "HV_1.log";
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    const auto before = Names(dir.Path());
    PruneLogFolder(dir.Path(), false);
    const auto after = Names(dir.Path());
    EXPECT_EQ(after, std::vector<std::string>(before.begin() + 3, before.end()));
}

TEST(PruneLogFolder, FreshFilesAreNotDeleted)
{
    TempDir dir;
    for (int i = 0; i < 7; ++i)
        dir.WriteFile(Format("HV_%d.log", i));
    PruneLogFolder(dir.Path(), false);
    EXPECT_EQ(Names(dir.Path()).size(), 7u) << "files created within the last second stay";
}

TEST(PruneLogFolder, LinkedFoldersAreNeitherCountedNorChanged)
{
    TempDir dir;
    for (int i = 0; i < 8; ++i)
        dir.WriteFile(Format("Elsewhere\\HV_%d.log", i));
    const std::string readOnly = dir / "Elsewhere\\HV_0.log";
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    for (int i = 0; i < 3; ++i)
        dir.WriteFile(Format("Logs\\HV_%d.log", i));
    const FolderLink link(dir / "Logs\\linked", dir / "Elsewhere");
    if (!link.Ok())
        GTEST_SKIP() << "no folder link can be made here";
    LetFilesAge();
    PruneLogFolder(dir / "Logs", false);
    EXPECT_EQ(Names(dir / "Logs").size(), 3u);
    EXPECT_EQ(Names(dir / "Elsewhere").size(), 8u);
    EXPECT_EQ(GetFileAttributesA(readOnly.c_str()) & FILE_ATTRIBUTE_READONLY, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(PruneLogFolder, SubfolderFilesCountTowardTheSameTotal)
{
    TempDir dir;
    for (int i = 0; i < 4; ++i)
        dir.WriteFile(Format("HV_%d.log", i));
    for (int i = 0; i < 4; ++i)
        dir.WriteFile(Format("old\\HV_%d.log", i));
    LetFilesAge();
    PruneLogFolder(dir.Path(), false);
    EXPECT_EQ(Names(dir.Path()).size() + Names(dir / "old").size(), 5u);
}
