#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum REGPROBLEM_TYPE : int32_t {
    RPT_COM_ACTIVEX = 0,
    RPT_UNINSTALL = 1,
    RPT_FONTS = 2,
    RPT_SHARED_DLLS = 3,
    RPT_APP_PATHS = 4,
    RPT_HELP_FILES = 5,
    RPT_STARTUP = 6,
    RPT_FILE_PATHS = 7,
    RPT_SHORTCUTS = 8,
    RPT_EMPTY_KEYS = 9,
    RPT_FILE_ASSOC = 10,
    RPT_SOUND_EVENTS = 11,
    RPT_CLASS_KEYS = 12,
    RPT_TYPE_LIBS = 13,
    RPT_DEEP_SCAN = 14,
};

constexpr int kCategoryCount = 15;

// The order in which scans visit the categories and the category panel lists them.
extern const REGPROBLEM_TYPE g_aScanOrder[kCategoryCount];

struct CATEGORY_NAMES {
    const char* pszSettingKey;   // settings value: 1 = selected for scanning
    const char* pszPanelName;    // scan page and category panel ("&&" shows one ampersand)
    const char* pszResultsName;  // results page (string resource 105 + type)
    const char* pszLogName;      // log lines and the current-category label
    const char* pszFoundCounter; // statistics: problems found
    const char* pszFixedCounter; // statistics: problems repaired
};

const CATEGORY_NAMES& CategoryInfo(REGPROBLEM_TYPE type);

// The category whose setting key is key; false when there is none.
bool CategoryFromSettingKey(const std::string& key, REGPROBLEM_TYPE& type);

class CRegistryProblem {
public:
    CRegistryProblem(std::string key, std::string valueName, std::string data, REGPROBLEM_TYPE type,
                     int32_t extra);
    virtual ~CRegistryProblem() = default;

    // The key is there, can be opened with the full access the repair may need (nothing is created or
    // changed), and is not volatile (no restore could make it again), asked with one opening of the
    // key: what a problem's key must be for the problem to be reported. Always true for shortcut
    // problems.
    bool IsKeyReportable() const;

    std::string m_strKey;
    std::string m_strData;
    std::string m_strValueName;
    REGPROBLEM_TYPE m_nType;
    int64_t m_nExtra;
    int32_t m_bSelected = 0;
};

// The problems of the last scan, in report order; it owns them.
extern std::vector<std::unique_ptr<CRegistryProblem>> g_arrProblems;
// Drops the problem from g_arrProblems, which destroys it (the user ignored it); nothing when it
// is not there.
void ForgetProblem(const CRegistryProblem* problem);

// One category row of the results page.
struct CScanCategory {
    std::string m_strName;
    int32_t m_nCount = 0;   // problems selected for repair
    int32_t m_nCount2 = 0;  // problems
    REGPROBLEM_TYPE m_nType = RPT_COM_ACTIVEX;
};

// The value name as shown: "(Default)" for the default value.
std::string DisplayValueName(const std::string& valueName);

// Replaces %1, %2, ... (optionally followed by a !printf-type! part) with the arguments in order.
std::string FormatMessageArgs(const std::string& pattern, const std::vector<std::string>& args);

// The markup that describes a problem on the results page.
std::string DescribeProblem(const CRegistryProblem& problem);

// The text of string resource id among the problem texts; empty for other ids.
const char* ProblemText(int id);
