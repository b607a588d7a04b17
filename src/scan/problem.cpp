#include "scan/problem.h"

#include <algorithm>

#include "framework/product_name.h"
#include "scan/problem_texts.h"
#include "scan/registry.h"
#include "scan/walk.h"

const REGPROBLEM_TYPE g_aScanOrder[kCategoryCount] = {
    RPT_COM_ACTIVEX, RPT_UNINSTALL,  RPT_FONTS,        RPT_SHARED_DLLS, RPT_APP_PATHS,
    RPT_HELP_FILES,  RPT_STARTUP,    RPT_FILE_PATHS,   RPT_FILE_ASSOC,  RPT_SOUND_EVENTS,
    RPT_CLASS_KEYS,  RPT_TYPE_LIBS,  RPT_SHORTCUTS,    RPT_EMPTY_KEYS,  RPT_DEEP_SCAN,
};

namespace {

// The odd spellings ("ShortCuts", "Emty", "Assosiations", the blank before "Windows") are deliberate:
// the counters are stored settings, and users know the names.
const CATEGORY_NAMES kCategories[kCategoryCount] = {
    {"comactx", "COM/ActiveX Entries", TXT_CAT_0, "COM/ActiveX", "TotalComErrors", "FixedComErrors"},
    {"uninsta", "Uninstall Entries", TXT_CAT_1, "Uninstall", "TotalUninstallErrors", "FixedUninstallErrors"},
    {"fonts", "Font Entries", TXT_CAT_2, "Fonts", "TotalFontErrors", "FixedFontErrors"},
    {"shardll", "Shared Dlls", TXT_CAT_3, "Shared Dlls", "TotalSharedDllErrors", "FixedSharedDllErrors"},
    {"apppath", "Application Paths", TXT_CAT_4, "Application path", "TotalAppPathErrors", "FixedAppPathErrors"},
    {"helpfil", "Help File Information", TXT_CAT_5, "Help files info", "TotalHelpFileErrors",
     "FixedHelpFileErrors"},
    {"winstrt", " Windows Startup Items", TXT_CAT_6, "Start-Up items", "TotalWinStartUpErrors",
     "FixedWinStartUpErrors"},
    {"fileref", "File Path References", TXT_CAT_7, "File path references", "TotalFilePathErrors",
     "FixedFilePathErrors"},
    {"shrtcut", "Program ShortCuts", TXT_CAT_8, "Program shortcuts", "TotalProgramShortcutErrors",
     "FixedProgramShortcutErrors"},
    {"emptkey", "Empty Registry Keys", TXT_CAT_9, "Empty registry keys", "TotalEmtyRegKeyErrors",
     "FixedEmtyRegKeyErrors"},
    {"fileass", "File Associations", TXT_CAT_10, "File associations", "TotalFileAssosiationsErrors",
     "FixedFileAssosiationsErrors"},
    {"sundapp", "Sound && App Events", TXT_CAT_11, "Sound App events", "TotalSoundAppeventsErrors",
     "FixedSoundAppeventsErrors"},
    {"clskeys", "Invalid Class Keys", TXT_CAT_12, "Invalid class keys", "TotalInvalidKeysErrors",
     "FixedInvalidKeysErrors"},
    {"typelib", "Type Libraries", TXT_CAT_13, "Type libraries", "TotalTypeLibrariesErrors",
     "FixedTypeLibrariesErrors"},
    {"deepscn", "Deep Scan", TXT_CAT_14, "Deep Scan", "TotalDeepScanErrors", "FixedDeepScanErrors"},
};

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

std::vector<std::unique_ptr<CRegistryProblem>> g_arrProblems;

void ForgetProblem(const CRegistryProblem* problem)
{
    const auto owned = std::find_if(g_arrProblems.begin(), g_arrProblems.end(),
                                    [problem](const auto& p) { return p.get() == problem; });
    if (owned != g_arrProblems.end())
        g_arrProblems.erase(owned);
}

const CATEGORY_NAMES& CategoryInfo(REGPROBLEM_TYPE type)
{
    return kCategories[type];
}

bool CategoryFromSettingKey(const std::string& key, REGPROBLEM_TYPE& type)
{
    for (int i = 0; i < kCategoryCount; ++i) {
        if (key == kCategories[i].pszSettingKey) {
            type = static_cast<REGPROBLEM_TYPE>(i);
            return true;
        }
    }
    return false;
}

CRegistryProblem::CRegistryProblem(std::string key, std::string valueName, std::string data, REGPROBLEM_TYPE type,
                                   int32_t extra)
    : m_strKey(std::move(key)), m_strData(std::move(data)), m_strValueName(std::move(valueName)), m_nType(type),
      m_nExtra(extra)
{
}

bool CRegistryProblem::IsKeyReportable() const
{
    if (m_nType == RPT_SHORTCUTS)
        return true;
    const auto [rootName, subkey] = SplitKeyPath(m_strKey);
    const HKEY root = RootKeyFromName(rootName);
    if (!root)
        return false;
    // The full access the repair may use, asked by opening the key: the registry checks the access
    // and changes nothing, the key's last-write time included. A key that is not there is not
    // created: a scan writes nothing.
    RegKey key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS) {
        key.release();
        return false;
    }
    return !IsVolatileKey(key.get(), m_strKey);
}

std::string DisplayValueName(const std::string& valueName)
{
    return valueName.empty() || valueName == "@" ? std::string("(Default)") : valueName;
}

std::string FormatMessageArgs(const std::string& pattern, const std::vector<std::string>& args)
{
    std::string out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%' || i + 1 >= pattern.size() || pattern[i + 1] < '1' || pattern[i + 1] > '9') {
            out += pattern[i];
            continue;
        }
        size_t j = i + 1;
        size_t n = 0;
        while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9' && n < 10)
            n = n * 10 + static_cast<size_t>(pattern[j++] - '0');
        // A !d!-style type suffix describes how the argument was formatted; the text is already formed.
        if (j < pattern.size() && pattern[j] == '!') {
            const size_t close = pattern.find('!', j + 1);
            if (close != std::string::npos)
                j = close + 1;
        }
        if (n >= 1 && n <= args.size())
            out += args[n - 1];
        i = j - 1;
    }
    return out;
}

std::string DescribeProblem(const CRegistryProblem& problem)
{
    const std::string& data = problem.m_strData;
    const std::string& key = problem.m_strKey;
    const std::string name = DisplayValueName(problem.m_strValueName);
    switch (problem.m_nType) {
    case RPT_COM_ACTIVEX: {
        std::string shown = data;
        if (problem.m_strValueName != "AppID" && !EndsWith(key, "CLSID"))
            shown = data.substr(0, data.find(','));
        return FormatMessageArgs(TXT_DESC_FILE, {data, key, name, shown});
    }
    case RPT_UNINSTALL:
        return FormatMessageArgs(TXT_DESC_UNINSTALL, {data, key, name, data});
    case RPT_SHARED_DLLS:
        return FormatMessageArgs(TXT_DESC_SHARED_DLL, {problem.m_strValueName, key, name});
    case RPT_HELP_FILES:
        return FormatMessageArgs(TXT_DESC_HELP_FILE, {data, problem.m_strValueName, key, name, data});
    case RPT_EMPTY_KEYS:
        return FormatMessageArgs(TXT_DESC_EMPTY_KEY, {key, data, name, data});
    default:
        return FormatMessageArgs(TXT_DESC_FILE, {data, key, name, data});
    }
}

const char* ProblemText(int id)
{
    switch (id) {
    case IDS_PRODUCT_NAME:
        return HV_PRODUCT_NAME;
    case IDS_ERRORS_FOUND:
        return TXT_ERRORS_FOUND;
    case IDS_IGNORE_LINK:
        return TXT_IGNORE_LINK;
    case IDS_DESC_FILE:
        return TXT_DESC_FILE;
    case IDS_DESC_UNINSTALL:
        return TXT_DESC_UNINSTALL;
    case IDS_DESC_SHARED_DLL:
        return TXT_DESC_SHARED_DLL;
    case IDS_DESC_HELP_FILE:
        return TXT_DESC_HELP_FILE;
    case IDS_DESC_PROGRAM:
        return TXT_DESC_PROGRAM;
    case IDS_DESC_EMPTY_KEY:
        return TXT_DESC_EMPTY_KEY;
    default:
        if (id >= IDS_CATEGORY_FIRST && id < IDS_CATEGORY_FIRST + kCategoryCount)
            return kCategories[id - IDS_CATEGORY_FIRST].pszResultsName;
        if (id >= 122 && id <= 134)
            return TXT_UNUSED;
        return "";
    }
}
