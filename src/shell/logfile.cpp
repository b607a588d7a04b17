#include "shell/logfile.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "framework/format.h"
#include "framework/handles.h"

CLogFile* g_pLog = nullptr;

namespace {

// Serialises the records of this process's threads, so that no record interleaves with another.
std::mutex g_logMutex;

struct tm LocalNow()
{
    const time_t t = time(nullptr);
    struct tm now {};
    localtime_s(&now, &t);
    return now;
}

// Another process may hold the file for a moment (its share mode denies other writers).
FileHandle OpenForAppend(const std::string& path)
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        FileHandle file(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file || GetLastError() != ERROR_SHARING_VIOLATION)
            return file;
        Sleep(20);
    }
    return FileHandle();
}

bool WriteAll(HANDLE file, const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1 << 20));
        if (!WriteFile(file, data.data() + done, chunk, &wrote, nullptr) || wrote == 0)
            return false;
        done += wrote;
    }
    return true;
}

bool IsOldEnough(const WIN32_FIND_DATAA& entry, const FILETIME& now)
{
    ULARGE_INTEGER created, current;
    created.LowPart = entry.ftCreationTime.dwLowDateTime;
    created.HighPart = entry.ftCreationTime.dwHighDateTime;
    current.LowPart = now.dwLowDateTime;
    current.HighPart = now.dwHighDateTime;
    constexpr ULONGLONG kOneSecond = 10000000;
    return created.QuadPart + kOneSecond <= current.QuadPart;
}

template <typename Visit>
void ForEachEntry(const std::string& folder, Visit visit)
{
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA((folder + "\\*").c_str(), &entry));
    if (!find)
        return;
    do {
        if (strcmp(entry.cFileName, ".") != 0 && strcmp(entry.cFileName, "..") != 0)
            visit(entry);
    } while (FindNextFileA(find.get(), &entry));
}

void PruneWalk(const std::string& folder, bool deletePass, int& counter)
{
    ForEachEntry(folder, [&](WIN32_FIND_DATAA& entry) {
        const std::string path = folder + "\\" + entry.cFileName;
        // A link leads elsewhere: it is neither entered nor changed, and a deletion removes the link.
        const bool link = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        if (link && (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            return;
        if (!link && (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesA(path.c_str(), entry.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!deletePass)
                PruneWalk(path, false, counter);
            return;
        }
        if (!deletePass) {
            ++counter;
            return;
        }
        if (counter <= 5)
            return;
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        if (IsOldEnough(entry, now)) {
            DeleteFileA(path.c_str());
            --counter;
        }
    });
    if (!deletePass && counter > 5)
        PruneWalk(folder, true, counter);
}

} // namespace

CLogFile::CLogFile(std::string path) : m_strPath(std::move(path)) {}

const char* LogLevelName(int level)
{
    switch (level) {
    case 0:
        return "INFO ";
    case 1:
        return "WARN ";
    case 2:
        return "ERROR";
    default:
        return "";
    }
}

std::string FormatLogRecord(const CLogFile& log, const std::string& text, int level, const struct tm& now)
{
    std::string record;
    if (log.m_bTimestamp)
        record += FormatTime("%m/%d/%Y %H:%M:%S %p", now) + log.m_strSeparator;
    if (log.m_bLevel)
        record += LogLevelName(level) + log.m_strSeparator;
    record.reserve(record.size() + text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n')
            record += '\r';
        record += c;
    }
    return record;
}

bool CLogFile::Write(const std::string& text, int level)
{
    const std::lock_guard<std::mutex> lock(g_logMutex);
    const std::string record = FormatLogRecord(*this, text, level, LocalNow()) + "\r\n";
    const FileHandle file = OpenForAppend(m_strPath);
    if (!file)
        return false;
    return WriteAll(file.get(), record);
}

void LogMessage(const std::string& text)
{
    if (g_pLog)
        g_pLog->Write(text, g_pLog->m_nDefaultLevel);
}

std::string LogFolderPath(const std::string& programFolder)
{
    return Format("%sLogs", programFolder.c_str());
}

std::string LogFilePath(const std::string& programFolder, const struct tm& startup)
{
    return Format("%sLogs\\HV%s.log", programFolder.c_str(), FormatTime("_%B_%d_%y_%H_%M_%S", startup).c_str());
}

void PruneLogFolder(const std::string& folder, bool deletePass)
{
    int counter = 0;
    PruneWalk(folder, deletePass, counter);
}
