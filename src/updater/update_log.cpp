#include "updater/update_log.h"

#include <windows.h>

#include <ctime>

#include "framework/paths.h"
#include "framework/security.h"
#include "shell/logfile.h"

void LogUpdateWarning(const std::string& text)
{
    // One file per process, named by the time of its first record, as the program names its own.
    static const std::string path = [] {
        const std::string folder = FolderOf(ModulePath());
        CreateProtectedFolder(LogFolderPath(folder), FA_USERS_READ_EXECUTE);
        const time_t now = time(nullptr);
        struct tm local {};
        localtime_s(&local, &now);
        return LogFilePath(folder, local);
    }();
    CLogFile log(path);
    log.Write(text, 1);
}
