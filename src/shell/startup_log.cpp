#include "shell/startup_log.h"

#include <windows.h>

#include <ctime>
#include <memory>

#include "framework/fault.h"
#include "shell/logfile.h"

namespace {

void LogFault(const char* where, const char* what)
{
    if (g_pLog)
        g_pLog->Write(std::string("Unexpected error in ") + where + ": " + what, 2);
}

} // namespace

void StartProcessLog(const std::string& programFolder)
{
    static std::unique_ptr<CLogFile> log;
    const time_t started = time(nullptr);
    struct tm now {};
    localtime_s(&now, &started);
    const std::string folder = LogFolderPath(programFolder);
    CreateDirectoryA(folder.c_str(), nullptr);
    PruneLogFolder(folder, false);
    log = std::make_unique<CLogFile>(LogFilePath(programFolder, now));
    g_pLog = log.get();
    SetFaultReporter(LogFault);
}
