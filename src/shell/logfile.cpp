#include "shell/logfile.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "framework/format.h"
#include "framework/files.h"
#include "framework/handles.h"

CLogFile* g_pLog = nullptr;

namespace {

// Serialises the records of this process's threads, whichever log object writes them (Patchwell
// makes one per record), so that no record interleaves with another.
std::mutex& RecordLock()
{
    static std::mutex lock;
    return lock;
}

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
        FileHandle file = OpenFile(path, FILE_APPEND_DATA, FILE_SHARE_READ, OPEN_ALWAYS);
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

CLogFile::~CLogFile()
{
    Flush();
}

const char* LogLevelName(int level)
{
    switch (level) {
    case LOG_INFO:
        return "INFO ";
    case LOG_WARN:
        return "WARN ";
    case LOG_ERROR:
        return "ERROR";
    default:
        return "";
    }
}

namespace {

// The record after its timestamp: the level prefix, then the message with "\n" as CR LF.
void AppendRecordBody(const CLogFile& log, const std::string& text, int level, std::string& record)
{
    if (log.m_bLevel) {
        record += LogLevelName(level);
        record += log.m_strSeparator;
    }
    record.reserve(record.size() + text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n')
            record += '\r';
        record += c;
    }
}

} // namespace

std::string FormatLogRecord(const CLogFile& log, const std::string& text, int level, const struct tm& now)
{
    std::string record;
    if (log.m_bTimestamp)
        record += FormatTime("%m/%d/%Y %H:%M:%S %p", now) + log.m_strSeparator;
    AppendRecordBody(log, text, level, record);
    return record;
}

bool CLogFile::Write(const std::string& text, int level)
{
    const std::lock_guard<std::mutex> lock(RecordLock());
    return WriteKept(FormatLogRecord(*this, text, level, LocalNow()) + "\r\n");
}

bool CLogFile::Keep(const std::string& text, int level)
{
    constexpr size_t kKeptLimit = 64 * 1024;
    const std::lock_guard<std::mutex> lock(RecordLock());
    if (m_bTimestamp) {
        // The stamp changes once a second: formatted once for all the records of that second.
        const time_t t = time(nullptr);
        if (t != m_stampTime) {
            struct tm now {};
            localtime_s(&now, &t);
            m_stampTime = t;
            m_stamp = FormatTime("%m/%d/%Y %H:%M:%S %p", now) + m_strSeparator;
        }
        m_kept += m_stamp;
    }
    AppendRecordBody(*this, text, level, m_kept);
    m_kept += "\r\n";
    return m_kept.size() < kKeptLimit || WriteKept("");
}

bool CLogFile::Flush()
{
    const std::lock_guard<std::mutex> lock(RecordLock());
    return m_kept.empty() || WriteKept("");
}

// The kept records, then record, in one write; the kept ones are gone either way. Called with the
// log's lock held.
bool CLogFile::WriteKept(const std::string& record)
{
    std::string data = std::move(m_kept);
    m_kept.clear();
    data += record;
    const FileHandle file = OpenForAppend(m_strPath);
    if (!file)
        return false;
    return WriteAll(file.get(), data);
}

void LogMessage(const std::string& text)
{
    if (g_pLog)
        g_pLog->Write(text, g_pLog->m_nDefaultLevel);
}

void LogMessage(const std::string& text, LOG_LEVEL level)
{
    if (g_pLog)
        g_pLog->Write(text, level);
}

void LogKept(const std::string& text)
{
    if (g_pLog)
        g_pLog->Keep(text, g_pLog->m_nDefaultLevel);
}

void LogFlush()
{
    if (g_pLog)
        g_pLog->Flush();
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
