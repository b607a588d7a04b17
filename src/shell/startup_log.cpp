#include "shell/startup_log.h"

#include <windows.h>

#include <ctime>
#include <memory>

#include "framework/security.h"
#include "shell/logfile.h"

void StartProcessLog(const std::string& programFolder)
{
    static std::unique_ptr<CLogFile> log;
    const time_t started = time(nullptr);
    struct tm now {};
    localtime_s(&now, &started);
    const std::string folder = LogFolderPath(programFolder);
    // Made for administrators to write (and users to read) when missing; an existing one stays as it is.
    CreateProtectedFolder(folder, FA_USERS_READ_EXECUTE);
    PruneLogFolder(folder, false);
    log = std::make_unique<CLogFile>(LogFilePath(programFolder, now));
    g_pLog = log.get();
}
