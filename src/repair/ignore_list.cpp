#include "repair/ignore_list.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <unordered_set>

#include "framework/format.h"
#include "framework/paths.h"
#include "repair/ansi_case.h"
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
    std::ifstream file(path);
    if (!file)
        return;
    std::string line;
    for (size_t number = 0; std::getline(file, line); ++number) {
        // The file is written in text mode; a CR left by another writer is part of the line end.
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (number % 2 == 0)
            g_arrIgnoreTypes.push_back(static_cast<REGPROBLEM_TYPE>(std::atoi(line.c_str())));
        else
            g_arrIgnoreKeys.push_back(line);
    }
    InvalidateIndex();
}

bool SaveIgnoreList(const std::string& path)
{
    std::ofstream file(path, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!file)
        return false;
    for (size_t i = 0; i < g_arrIgnoreKeys.size(); ++i) {
        const int type = i < g_arrIgnoreTypes.size() ? static_cast<int>(g_arrIgnoreTypes[i]) : 0;
        file << type << "\r\n" << g_arrIgnoreKeys[i] << "\r\n";
    }
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

bool IgnoreProblem(const CRegistryProblem& problem, const std::string& path)
{
    LogMessage(Format("Ignored %s problem key:%s valueName:%s value:%s", CategoryInfo(problem.m_nType).pszLogName,
                      problem.m_strKey.c_str(), problem.m_strValueName.c_str(), problem.m_strData.c_str()));
    return AddToIgnoreList(problem, path);
}
