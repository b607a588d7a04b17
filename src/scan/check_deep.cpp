#include "scan/checks.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "framework/handles.h"
#include "scan/check_support.h"
#include "scan/path_rules.h"
#include "scan/scanner.h"
#include "scan/walk.h"

namespace {

// text without the occurrences of pattern found scanning it from left to right.
std::string EraseAll(std::string_view text, std::string_view pattern)
{
    std::string out;
    size_t from = 0;
    for (size_t at = text.find(pattern); at != std::string_view::npos; at = text.find(pattern, from)) {
        out.append(text, from, at - from);
        from = at + pattern.size();
    }
    out.append(text, from);
    return out;
}

// The deep scan's walk: depth first with a stack of its own, every key's values examined after
// its subkeys. The stack grows with the tree, however deep it nests.
class CDeepScanWalk {
public:
    explicit CDeepScanWalk(CRegistryScanner& engine) : m_engine(engine) {}

    void Run(HKEY root, const char* subkey, const char* display);

private:
    // One key entered by the walk. The handle is opened for enumeration and, where the key
    // allows it, for reading values as well, so most keys are opened once.
    struct LEVEL {
        RegKey key;
        bool canQuery = false;
        DWORD index = 0;             // the next subkey to enumerate
        std::string name;            // the key's name under its parent
        size_t parentPathLength = 0; // m_path's length before the name was appended
    };

    void Open(HKEY parent, const char* name, LEVEL& level);
    void ExamineValues(HKEY parent, const LEVEL& level);
    void ExamineValuesOf(HKEY key, const std::string& keyPath);
    void Examine(const std::string& keyPath, const char* valueName, std::string_view value);

    CRegistryScanner& m_engine;
    CDrivePathCache m_cache;
    std::vector<LEVEL> m_stack;
    std::string m_path;
    std::string m_parentPath;
    std::string m_keyPath;
    std::string m_line;
    std::vector<char> m_valueName;
    std::vector<BYTE> m_valueData;
};

void CDeepScanWalk::Open(HKEY parent, const char* name, LEVEL& level)
{
    level.canQuery = RegOpenKeyExA(parent, name, kWalkOpenOptions, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE,
                                   level.key.put()) == ERROR_SUCCESS;
    if (!level.canQuery &&
        RegOpenKeyExA(parent, name, kWalkOpenOptions, KEY_ENUMERATE_SUB_KEYS, level.key.put()) != ERROR_SUCCESS)
        level.key.reset();
}

void CDeepScanWalk::Run(HKEY root, const char* subkey, const char* display)
{
    m_stack.clear();
    LEVEL& start = m_stack.emplace_back();
    start.name = subkey;
    start.parentPathLength = strlen(display);
    Open(root, subkey, start);
    if (!start.key)
        return;
    m_path = display;
    if (*subkey) {
        m_path += '\\';
        m_path += subkey;
    }
    ExamineValues(root, start);

    char name[kPathBuffer];
    while (!m_engine.StopRequested()) {
        LEVEL& top = m_stack.back();
        const LONG rc = top.key ? EnumKeyName(top.key.get(), top.index, name, sizeof name) : ERROR_INVALID_HANDLE;
        // A subkey the code page cannot name is passed over with its whole tree.
        if (rc == ERROR_NO_UNICODE_TRANSLATION) {
            ++top.index;
            continue;
        }
        if (rc != ERROR_SUCCESS) {
            // Key names are at most 255 characters, so every failure means the key has no
            // further subkey that can be read.
            if (m_stack.size() == 1)
                return;
            const LEVEL& parent = m_stack[m_stack.size() - 2];
            m_path.resize(top.parentPathLength);
            ExamineValues(parent.key.get(), top);
            m_stack.pop_back();
            ++m_stack.back().index;
            continue;
        }
        LEVEL child;
        child.name = name;
        child.parentPathLength = m_path.size();
        Open(top.key.get(), name, child);
        m_path += '\\';
        m_path += name;
        m_stack.push_back(std::move(child));
    }
}

// The values of the key level names under parent; m_path holds the parent's path.
void CDeepScanWalk::ExamineValues(HKEY parent, const LEVEL& level)
{
    m_parentPath.assign(m_path, 0, level.parentPathLength);
    m_engine.SendPath(m_parentPath);

    const size_t first = m_parentPath.find_first_not_of(' ');
    const size_t last = m_parentPath.find_last_not_of(' ');
    if (first == std::string::npos)
        m_keyPath.clear();
    else
        m_keyPath.assign(m_parentPath, first, last - first + 1);
    if (!level.name.empty()) {
        m_keyPath += '\\';
        m_keyPath += level.name;
    }

    if (level.canQuery) {
        ExamineValuesOf(level.key.get(), m_keyPath);
        return;
    }
    RegKey key;
    if (RegOpenKeyExA(parent, level.name.c_str(), kWalkOpenOptions, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS)
        ExamineValuesOf(key.get(), m_keyPath);
}

void CDeepScanWalk::ExamineValuesOf(HKEY key, const std::string& keyPath)
{
    DWORD longestName = 0;
    DWORD longestData = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                         &longestData, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    // The buffers only grow: one pair serves the whole walk.
    if (m_valueName.size() < longestName + 1)
        m_valueName.resize(longestName + 1);
    if (m_valueData.size() < longestData + 1)
        m_valueData.resize(longestData + 1);

    for (DWORD index = 0; !m_engine.StopRequested(); ++index) {
        DWORD nameLen = static_cast<DWORD>(m_valueName.size());
        DWORD dataLen = static_cast<DWORD>(m_valueData.size());
        DWORD type = 0;
        const LONG rc = EnumValue(key, index, m_valueName.data(), &nameLen, &type, m_valueData.data(), &dataLen);
        // A value that grew since the key was measured, or that the code page cannot hold, is
        // passed over; any other failure would repeat for every further index.
        if (rc == ERROR_MORE_DATA || rc == ERROR_NO_UNICODE_TRANSLATION)
            continue;
        if (rc != ERROR_SUCCESS)
            break;

        const char* valueName = m_valueName.data();
        m_line = keyPath;
        m_line += ": ";
        if (*valueName) {
            m_line += '"';
            m_line += valueName;
            m_line += "\" = ";
        } else {
            m_line += "@ = ";
        }
        if (type != REG_SZ) {
            m_engine.SendPath(m_line);
            continue;
        }
        const std::string_view text(reinterpret_cast<const char*>(m_valueData.data()),
                                    strnlen(reinterpret_cast<const char*>(m_valueData.data()), dataLen));
        m_line += '"';
        m_line += text;
        m_line += '"';
        m_engine.SendPath(m_line);

        const size_t pair = text.find(":\\");
        if (pair != std::string_view::npos && pair > 0)
            Examine(keyPath, valueName, text);
    }
}

void CDeepScanWalk::Examine(const std::string& keyPath, const char* valueName, std::string_view value)
{
    const std::string text = EraseAll(EraseAll(value, "res://"), "res:/");
    // An indirect string ("@C:\...\shell32.dll,-20") names its file after the "@".
    const std::string candidate = FitPathBuffer(text[0] == '@' ? text.substr(1) : text);
    if (!m_cache.IsPresent(candidate, kWalksWow64Registrations && IsWow64KeyPath(keyPath)))
        m_engine.ReportProblem(std::make_unique<CRegistryProblem>(keyPath, valueName, text, RPT_DEEP_SCAN, 0));
}

} // namespace

void CheckDeepScan(CRegistryScanner& engine)
{
    CDeepScanWalk walk(engine);
    walk.Run(HKEY_USERS, "", "HKEY_USERS");
    walk.Run(HKEY_LOCAL_MACHINE, "SOFTWARE", "HKEY_LOCAL_MACHINE");
}
