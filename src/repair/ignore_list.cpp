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

std::string IndexKey(REGPROBLEM_TYPE type, const std::string& key)
{
    return Format("%d|", static_cast<int>(type)) + CAnsiCase::System().Lower(key);
}

// Lookup index over the entries, so that a scan pays one hash per problem whatever the list's
// length. It is rebuilt on the next lookup after any change, or when the list's length is not the
// one it was built for.
class CIgnoreIndex {
public:
    void Invalidate()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bValid = false;
    }

    bool Contains(const CRegistryProblem& problem)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_bValid || m_nCount != g_arrIgnoreKeys.size())
            Rebuild();
        return !m_keys.empty() && m_keys.count(IndexKey(problem.m_nType, IgnoreKey(problem))) != 0;
    }

private:
    void Rebuild()
    {
        m_keys.clear();
        const size_t count = std::min(g_arrIgnoreKeys.size(), g_arrIgnoreTypes.size());
        for (size_t i = 0; i < count; ++i)
            m_keys.insert(IndexKey(g_arrIgnoreTypes[i], g_arrIgnoreKeys[i]));
        m_nCount = g_arrIgnoreKeys.size();
        m_bValid = true;
    }

    std::mutex m_mutex;
    std::unordered_set<std::string> m_keys;
    bool m_bValid = false;
    size_t m_nCount = 0;
};

// One for the process's list.
CIgnoreIndex& Index()
{
    static CIgnoreIndex index;
    return index;
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
    Index().Invalidate();
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
    Index().Invalidate();
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
    Index().Invalidate();
    return SaveIgnoreList(path);
}

void ClearIgnoreList()
{
    g_arrIgnoreKeys.clear();
    g_arrIgnoreTypes.clear();
    Index().Invalidate();
}

bool IsIgnored(const CRegistryProblem& problem)
{
    return Index().Contains(problem);
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
