#include "shell/statistics.h"

#include <algorithm>

#include "framework/format.h"
#include "shell/logfile.h"
#include "shell/settings.h"

// "ShortCuts", "Invalid class Keys" and the blank before "Windows" are deliberate: users know the
// page so.
const STATISTICS_ROW g_aStatisticsRows[kCategoryCount] = {
    {"COM/ActiveX Entries", RPT_COM_ACTIVEX},
    {"Uninstall Entries", RPT_UNINSTALL},
    {"Font Entries", RPT_FONTS},
    {"Shared Dlls", RPT_SHARED_DLLS},
    {"Application Paths", RPT_APP_PATHS},
    {"Help File Information", RPT_HELP_FILES},
    {" Windows Startup Items", RPT_STARTUP},
    {"File Path References", RPT_FILE_PATHS},
    {"File Associations", RPT_FILE_ASSOC},
    {"Sound && App Events", RPT_SOUND_EVENTS},
    {"Invalid class Keys", RPT_CLASS_KEYS},
    {"Type Libraries", RPT_TYPE_LIBS},
    {"Program ShortCuts", RPT_SHORTCUTS},
    {"Empty Registry Keys", RPT_EMPTY_KEYS},
    {"Deep Scan", RPT_DEEP_SCAN},
};

namespace {

const CATEGORY_NAMES& Info(int type)
{
    return CategoryInfo(static_cast<REGPROBLEM_TYPE>(type));
}

} // namespace

void ResetFixedCounters()
{
    for (int i = 0; i < kCategoryCount; ++i)
        WriteSettingInt(Info(i).pszFixedCounter, 0);
}

void RecordRepairStatistics(const int32_t fixedPerCategory[kCategoryCount])
{
    int total = ReadSettingInt("ErrorsFixed");
    for (int i = 0; i < kCategoryCount; ++i) {
        WriteSettingInt(Info(i).pszFixedCounter, fixedPerCategory[i]);
        total += fixedPerCategory[i];
    }
    WriteSettingInt("ErrorsFixed", total);
    WriteSettingInt("nFixed", total);
    LogMessage(Format("Fixed %d errors", total));
}

STATISTICS LoadStatistics(const std::vector<REGPROBLEM_TYPE>& ignoreTypes, bool cleared)
{
    STATISTICS stats;
    for (int i = 0; i < kCategoryCount; ++i) {
        stats.anFound[i] = ReadSettingInt(Info(i).pszFoundCounter);
        stats.anFixed[i] = ReadSettingInt(Info(i).pszFixedCounter);
    }
    stats.nFoundTillDate = ReadSettingInt("lastfounderrors");
    stats.nFixedTillDate = ReadSettingInt("ErrorsFixed");
    stats.strLastScan = ReadSettingString("lastScan");
    if (!cleared)
        for (REGPROBLEM_TYPE type : ignoreTypes)
            if (type >= 0 && type < kCategoryCount)
                ++stats.anIgnored[type];
    return stats;
}

void ClearStatistics()
{
    for (int i = 0; i < kCategoryCount; ++i) {
        WriteSettingInt(Info(i).pszFoundCounter, 0);
        WriteSettingInt(Info(i).pszFixedCounter, 0);
    }
}

std::pair<std::string, std::string> SplitLastScan(const std::string& lastScan)
{
    const size_t dash = lastScan.find_last_of('-');
    const long d = dash == std::string::npos ? -1 : static_cast<long>(dash);
    const size_t dateLength = static_cast<size_t>(d + 5);
    const size_t timeLength = std::min(static_cast<size_t>(d + 4), lastScan.size());
    return {lastScan.substr(0, dateLength), lastScan.substr(lastScan.size() - timeLength)};
}
