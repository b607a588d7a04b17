#pragma once

#include <ctime>
#include <string>

// The run's log: one file per process, one record per call, each record one open-append-close.
class CLogFile {
public:
    explicit CLogFile(std::string path);

    // Writes one record; false when the file could not be opened or written.
    bool Write(const std::string& text, int level);

    std::string m_strPath;
    bool m_bTimestamp = true;
    bool m_bLevel = true;
    int m_nDefaultLevel = 0;
    std::string m_strSeparator = "--";
};

extern CLogFile* g_pLog;

// Writes one record at the default level through g_pLog; does nothing before the log exists.
void LogMessage(const std::string& text);

// "INFO ", "WARN ", "ERROR", or empty for any other level.
const char* LogLevelName(int level);

// The record as stored, without its line end: prefixes, then the message with "\n" as CR LF.
std::string FormatLogRecord(const CLogFile& log, const std::string& text, int level, const struct tm& now);

// "%sLogs" and "%sLogs\HV%s.log" of the program folder and the start-up time.
std::string LogFolderPath(const std::string& programFolder);
std::string LogFilePath(const std::string& programFolder, const struct tm& startup);

// Start-up clean-up: keeps the five newest-enumerated logs of the folder (see the .cpp).
void PruneLogFolder(const std::string& folder, bool deletePass);
