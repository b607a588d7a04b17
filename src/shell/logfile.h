#pragma once

#include <ctime>
#include <string>

// The level of a record, written as its name: "INFO ", "WARN " or "ERROR".
enum LOG_LEVEL { LOG_INFO = 0, LOG_WARN = 1, LOG_ERROR = 2 };

// The run's log: one file per process, each write one open-append-close. Records come one a write,
// or, where many come fast (a scan's findings), kept in memory and written together.
class CLogFile {
public:
    explicit CLogFile(std::string path);
    ~CLogFile();
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // Writes one record at level (a LOG_LEVEL; any other number has no level name), after the kept
    // ones; false when the file could not be opened or written.
    bool Write(const std::string& text, int level);
    // Keeps one record, stamped now, for the next write: Flush, Write, or when the kept records
    // reach 64 KiB. False when that write failed.
    bool Keep(const std::string& text, int level);
    // Writes the kept records; false when they could not be written (they are then dropped).
    bool Flush();

    std::string m_strPath;
    bool m_bTimestamp = true;
    bool m_bLevel = true;
    int m_nDefaultLevel = LOG_INFO;
    std::string m_strSeparator = "--";

private:
    bool WriteKept(const std::string& record);

    std::string m_kept;
    time_t m_stampTime = -1;
    std::string m_stamp; // the timestamp prefix of m_stampTime
};

extern CLogFile* g_pLog;

// Writes one record through g_pLog, at the log's default level or at the level given; does nothing
// before the log exists.
void LogMessage(const std::string& text);
void LogMessage(const std::string& text, LOG_LEVEL level);
// The same at the default level, kept with the records that follow (CLogFile::Keep) until the next
// record written at once or LogFlush: for records that come by the thousand.
void LogKept(const std::string& text);
void LogFlush();

// "INFO ", "WARN ", "ERROR", or empty for any other level.
const char* LogLevelName(int level);

// The record as stored, without its line end: prefixes, then the message with "\n" as CR LF.
std::string FormatLogRecord(const CLogFile& log, const std::string& text, int level, const struct tm& now);

// "%sLogs" and "%sLogs\HV%s.log" of the program folder and the start-up time.
std::string LogFolderPath(const std::string& programFolder);
std::string LogFilePath(const std::string& programFolder, const struct tm& startup);

// Start-up clean-up: keeps the five newest-enumerated logs of the folder (see the .cpp).
void PruneLogFolder(const std::string& folder, bool deletePass);
