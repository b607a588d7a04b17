#include "repair/ignore_list.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <mutex>
#include <unordered_set>

#include "framework/format.h"
#include "framework/paths.h"
#include "repair/ansi_case.h"
#include "repair/exclusion_list.h"
#include "repair/ignore_file.h"
#include "repair/windows_keys.h"
#include "shell/logfile.h"

std::vector<std::string> g_arrIgnoreKeys;
std::vector<REGPROBLEM_TYPE> g_arrIgnoreTypes;

namespace {

// Lookup index over the entries, so that a scan pays one hash per problem whatever the list's
// length. It is rebuilt on the next lookup after any change.
std::mutex g_indexMutex;
std::unordered_set<std::string> g_index;
bool g_bIndexValid = false;
size_t g_nIndexedCount = 0;

std::string IndexKey(REGPROBLEM_TYPE type, const std::string& key)
{
    return Format("%d|", static_cast<int>(type)) + CAnsiCase::System().Lower(key);
}

void InvalidateIndex()
{
    const std::lock_guard<std::mutex> lock(g_indexMutex);
    g_bIndexValid = false;
}

} // namespace

std::string IgnoreListPath()
{
    return ProgramFolder() + "ignorelist.dat";
}

std::string IgnoreKey(const CRegistryProblem& problem)
{
    return problem.m_strKey + "\\" + problem.m_strValueName + "|" + problem.m_strData;
}

void LoadIgnoreList(const std::string& path)
{
    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (!file)
        return;
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ParseIgnoreFile(text, g_arrIgnoreTypes, g_arrIgnoreKeys);
    InvalidateIndex();
}

bool SaveIgnoreList(const std::string& path)
{
    std::ofstream file(path, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!file)
        return false;
    file << FormatIgnoreFile(g_arrIgnoreTypes, g_arrIgnoreKeys);
    file.close();
    return !file.fail();
}

bool AddToIgnoreList(const CRegistryProblem& problem, const std::string& path)
{
    // A file with an odd number of lines leaves one type too many; the new entry pairs with its own type.
    g_arrIgnoreTypes.resize(g_arrIgnoreKeys.size());
    g_arrIgnoreTypes.push_back(problem.m_nType);
    g_arrIgnoreKeys.push_back(IgnoreKey(problem));
    InvalidateIndex();
    return SaveIgnoreList(path);
}

bool RemoveFromIgnoreList(std::vector<size_t> indices, const std::string& path)
{
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    for (auto it = indices.rbegin(); it != indices.rend(); ++it) {
        if (*it >= g_arrIgnoreKeys.size())
            continue;
        g_arrIgnoreKeys.erase(g_arrIgnoreKeys.begin() + static_cast<ptrdiff_t>(*it));
        if (*it < g_arrIgnoreTypes.size())
            g_arrIgnoreTypes.erase(g_arrIgnoreTypes.begin() + static_cast<ptrdiff_t>(*it));
    }
    InvalidateIndex();
    return SaveIgnoreList(path);
}

void ClearIgnoreList()
{
    g_arrIgnoreKeys.clear();
    g_arrIgnoreTypes.clear();
    InvalidateIndex();
}

bool IsIgnored(const CRegistryProblem& problem)
{
    const std::lock_guard<std::mutex> lock(g_indexMutex);
    if (!g_bIndexValid || g_nIndexedCount != g_arrIgnoreKeys.size()) {
        g_index.clear();
        const size_t count = std::min(g_arrIgnoreKeys.size(), g_arrIgnoreTypes.size());
        for (size_t i = 0; i < count; ++i)
            g_index.insert(IndexKey(g_arrIgnoreTypes[i], g_arrIgnoreKeys[i]));
        g_nIndexedCount = g_arrIgnoreKeys.size();
        g_bIndexValid = true;
    }
    if (g_index.empty())
        return false;
    return g_index.count(IndexKey(problem.m_nType, IgnoreKey(problem))) != 0;
}

bool IsProblemSuppressed(const CRegistryProblem& problem)
{
    if (IsIgnored(problem))
        return true;
    if (!PassesExclusionList(problem.m_strKey.c_str()))
        return true;
    return IsPackageState(problem.m_strKey, problem.m_strValueName, problem.m_strData);
}

bool IgnoreProblem(const CRegistryProblem& problem, const std::string& path)
{
    LogMessage(Format("Ignored %s problem key:%s valueName:%s value:%s", CategoryInfo(problem.m_nType).pszLogName,
                      problem.m_strKey.c_str(), problem.m_strValueName.c_str(), problem.m_strData.c_str()));
    return AddToIgnoreList(problem, path);
}
