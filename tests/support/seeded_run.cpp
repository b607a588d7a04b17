#include "seeded_run.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <utility>
#include <vector>

#include "framework/format.h"
#include "framework/handles.h"

SeededRun::SeededRun(std::string prefix) : m_strPrefix(std::move(prefix))
{
    Clear();
}

SeededRun::~SeededRun()
{
    Clear();
}

std::string SeededRun::Name(int i) const
{
    return Format("%s%05d", m_strPrefix.c_str(), i);
}

void SeededRun::Add(int count)
{
    RegKey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    for (int i = 0; i < count; ++i, ++m_nNext) {
        const std::string data = Format("C:\\%sMissing\\app%05d.exe", m_strPrefix.c_str(), m_nNext);
        ASSERT_EQ(RegSetValueExA(key.get(), Name(m_nNext).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                 static_cast<DWORD>(data.size() + 1)),
                  ERROR_SUCCESS);
    }
}

int SeededRun::Count() const
{
    int count = 0;
    RegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return 0;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        if (RegEnumValueA(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        count += std::string(name).rfind(m_strPrefix, 0) == 0;
    }
    return count;
}

void SeededRun::Clear() const
{
    RegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS)
        return;
    // Names are collected first: deleting while enumerating would skip entries.
    std::vector<std::string> names;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        if (RegEnumValueA(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (std::string(name).rfind(m_strPrefix, 0) == 0)
            names.emplace_back(name);
    }
    for (const std::string& value : names)
        RegDeleteValueA(key.get(), value.c_str());
}

int PanelRow(REGPROBLEM_TYPE type)
{
    for (int row = 0; row < kCategoryCount; ++row)
        if (g_aScanOrder[row] == type)
            return row;
    return -1;
}
