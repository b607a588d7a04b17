// The checks that read whole trees, the file path references, the empty keys and the deep scan: all
// are visitors of one shared walk (tree_walk.h), so that a scan reads each tree once.

#include "scan/checks.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "scan/check_support.h"
#include "scan/file_presence.h"
#include "scan/path_rules.h"
#include "scan/scan_user.h"
#include "scan/scanner.h"
#include "scan/tree_walk.h"

namespace {

const char* RootName(REG_TREE tree)
{
    return tree == REG_TREE::LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : "HKEY_USERS";
}

// A check's part of a shared walk. When the walk runs in an earlier category's turn, the check's
// findings are kept, one part per tree in the check's own order, for its own turn.
class CCheckVisitor : public CTreeVisitor {
public:
    CCheckVisitor(CRegistryScanner& engine, REGPROBLEM_TYPE type, std::vector<REG_TREE> trees, bool writing = false)
        : CTreeVisitor(std::move(trees), writing), m_engine(engine), m_type(type)
    {
    }

    REGPROBLEM_TYPE Type() const { return m_type; }
    void KeepFindings() { m_keep = true; }

    void BeginTree(REG_TREE tree) final
    {
        if (m_keep)
            for (size_t part = 0; part < Trees().size(); ++part)
                if (Trees()[part] == tree)
                    m_engine.KeepFindings(m_type, part);
        Begin(tree);
    }

protected:
    virtual void Begin(REG_TREE tree) = 0;

    CRegistryScanner& m_engine;

private:
    REGPROBLEM_TYPE m_type;
    bool m_keep = false;
};

// The file path references: values are looked at only in keys with one or two subkeys, after
// those subkeys. The path grows and shrinks in place, one pair of buffers for the whole walk.
class CFilePathVisitor : public CCheckVisitor {
public:
    CFilePathVisitor(CRegistryScanner& engine, CFilePresence& files)
        : CCheckVisitor(engine, RPT_FILE_PATHS, {REG_TREE::LOCAL_MACHINE, REG_TREE::USERS}), m_files(files)
    {
    }

    void Begin(REG_TREE tree) override
    {
        m_display = RootName(tree);
        m_levels.clear();
    }

    ENTRY Enter(const TREE_KEY& key) override
    {
        const size_t length = m_display.size();
        if (key.depth) {
            m_display += '\\';
            m_display += key.name;
        }
        m_engine.SendPath(m_display);
        // The keys that open for reading are walked; one that opens for writing as well (for the
        // empty keys) is one of them.
        if ((key.access & KEY_READ) != KEY_READ) {
            m_display.resize(length);
            return SKIP;
        }
        m_levels.push_back({length, 0});
        return FOLLOW;
    }

    SUBKEY Subkey(const char* name) override
    {
        // A subkey the code page cannot name still counts; it is not entered. A name longer than
        // the name buffer ends the key's subkeys.
        if (name && strlen(name) + 1 > kShortNameChars)
            return END_SUBKEYS;
        ++m_levels.back().subkeys;
        return name ? ENTER : PASS_OVER;
    }

    bool WantsValues() override
    {
        const DWORD subkeys = m_levels.back().subkeys;
        return subkeys == 1 || subkeys == 2;
    }

    bool BeginValues(const VALUES_INFO&) override
    {
        m_view32 = kWalksWow64Registrations && IsWow64KeyPath(m_display);
        return true;
    }

    bool Value(const WIDE_VALUE& value) override
    {
        DWORD nameLen = sizeof m_name;
        DWORD dataLen = sizeof m_data;
        const LONG rc = AnswerEnumValue(value, m_name, &nameLen, nullptr, reinterpret_cast<BYTE*>(m_data), &dataLen);
        if (rc == ERROR_NO_UNICODE_TRANSLATION)
            return true;
        if (rc != ERROR_SUCCESS)
            return false;
        if (dataLen >= 3)
            Examine(std::string(m_data, strnlen(m_data, dataLen)));
        return true;
    }

    void Leave() override
    {
        m_display.resize(m_levels.back().displayLength);
        m_levels.pop_back();
    }

private:
    struct LEVEL {
        size_t displayLength; // m_display's length before the key's name was appended
        DWORD subkeys;        // subkeys met so far
    };

    void Examine(std::string text)
    {
        if (text.size() < 3)
            return;
        if (text[0] == '%' || (text[0] == '"' && text[1] == '%')) {
            // Expanded with this process's environment, which is right only in its own user's
            // hive: elsewhere the text cannot be checked.
            if (IsOtherUsersHive(m_display, ProcessUserSid()))
                return;
            text = ExpandEnvironment(m_view32 ? X86FolderReferences(text) : text);
        }
        std::string candidate;
        if (text.size() >= 4 && text[0] == '"' && text[2] == ':' && text[3] == '\\')
            candidate = text.substr(1);
        else if (text.size() >= 3 && text[1] == ':' && text[2] == '\\')
            candidate = std::move(text);
        else
            return;
        const size_t quote = candidate.find('"');
        if (quote != std::string::npos)
            candidate.resize(quote);
        if (!m_files.DrivePathPresent(candidate, m_view32))
            m_engine.ReportProblem(std::make_unique<CRegistryProblem>(m_display, m_name, candidate, RPT_FILE_PATHS, 0));
    }

    std::string m_display;
    std::vector<LEVEL> m_levels;
    bool m_view32 = false;
    CFilePresence& m_files;
    char m_name[kPathBuffer];
    char m_data[kPathBuffer];
};

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

// The deep scan: every key of HKEY_USERS and of HKEY_LOCAL_MACHINE\SOFTWARE, each key's values
// examined after its subkeys (the top's before them).
class CDeepScanVisitor : public CCheckVisitor {
public:
    CDeepScanVisitor(CRegistryScanner& engine, CFilePresence& files)
        : CCheckVisitor(engine, RPT_DEEP_SCAN, {REG_TREE::USERS, REG_TREE::LOCAL_MACHINE}), m_files(files)
    {
    }

    void Begin(REG_TREE tree) override
    {
        m_tree = tree;
        m_levels.clear();
        m_path.clear();
    }

    ENTRY Enter(const TREE_KEY& key) override
    {
        // Of HKEY_LOCAL_MACHINE only SOFTWARE is walked: its top only leads there.
        if (m_tree == REG_TREE::LOCAL_MACHINE && key.depth == 0) {
            m_levels.push_back({"", 0, true});
            return FOLLOW;
        }
        if (m_levels.empty() || m_levels.back().leadsToTop) {
            const char* display = RootName(m_tree);
            const char* subkey = m_tree == REG_TREE::LOCAL_MACHINE ? "SOFTWARE" : "";
            if (!key.handle)
                return SKIP;
            m_path = display;
            if (*subkey) {
                m_path += '\\';
                m_path += subkey;
            }
            m_levels.push_back({subkey, strlen(display), false});
            return FOLLOW_VALUES_FIRST;
        }
        // A key that cannot be enumerated may still give its values.
        m_levels.push_back({key.name, m_path.size(), false});
        m_path += '\\';
        m_path += key.name;
        return FOLLOW;
    }

    SUBKEY Subkey(const char* name) override
    {
        // A subkey the code page cannot name is passed over with its whole tree.
        if (!name)
            return PASS_OVER;
        if (m_levels.back().leadsToTop)
            return lstrcmpiA(name, "SOFTWARE") == 0 ? ENTER : PASS_OVER;
        return ENTER;
    }

    bool WantsValues() override
    {
        const LEVEL& level = m_levels.back();
        if (level.leadsToTop)
            return false;
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
        return true;
    }

    bool BeginValues(const VALUES_INFO& info) override
    {
        if (!info.ok)
            return false;
        // The buffers only grow: one pair serves the whole walk.
        if (m_valueName.size() < info.longestName + 1)
            m_valueName.resize(info.longestName + 1);
        if (m_valueData.size() < info.longestData + 1)
            m_valueData.resize(info.longestData + 1);
        return true;
    }

    bool Value(const WIDE_VALUE& value) override
    {
        DWORD nameLen = static_cast<DWORD>(m_valueName.size());
        DWORD dataLen = static_cast<DWORD>(m_valueData.size());
        DWORD type = 0;
        const LONG rc = AnswerEnumValue(value, m_valueName.data(), &nameLen, &type, m_valueData.data(), &dataLen);
        // A value that grew since the key was measured, or that the code page cannot hold, is
        // passed over; any other failure would repeat for every further index.
        if (rc == ERROR_MORE_DATA || rc == ERROR_NO_UNICODE_TRANSLATION)
            return true;
        if (rc != ERROR_SUCCESS)
            return false;

        const char* valueName = m_valueName.data();
        m_line = m_keyPath;
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
            return true;
        }
        const std::string_view text(reinterpret_cast<const char*>(m_valueData.data()),
                                    strnlen(reinterpret_cast<const char*>(m_valueData.data()), dataLen));
        m_line += '"';
        m_line += text;
        m_line += '"';
        m_engine.SendPath(m_line);

        const size_t pair = text.find(":\\");
        if (pair != std::string_view::npos && pair > 0)
            Examine(valueName, text);
        return true;
    }

    void Leave() override
    {
        m_path.resize(m_levels.back().parentPathLength);
        m_levels.pop_back();
    }

private:
    struct LEVEL {
        std::string name;            // the key's name under its parent
        size_t parentPathLength = 0; // m_path's length before the name was appended
        bool leadsToTop = false;     // the top of HKEY_LOCAL_MACHINE, above the walk's own top
    };

    void Examine(const char* valueName, std::string_view value)
    {
        const std::string text = EraseAll(EraseAll(value, "res://"), "res:/");
        // An indirect string ("@C:\...\shell32.dll,-20") names its file after the "@".
        const std::string candidate = FitPathBuffer(text[0] == '@' ? text.substr(1) : text);
        if (!m_files.DrivePathPresent(candidate, kWalksWow64Registrations && IsWow64KeyPath(m_keyPath)))
            m_engine.ReportProblem(std::make_unique<CRegistryProblem>(m_keyPath, valueName, text, RPT_DEEP_SCAN, 0));
    }

    REG_TREE m_tree = REG_TREE::USERS;
    CFilePresence& m_files;
    std::vector<LEVEL> m_levels;
    std::string m_path;
    std::string m_parentPath;
    std::string m_keyPath;
    std::string m_line;
    std::vector<char> m_valueName;
    std::vector<BYTE> m_valueData;
};

// The empty registry keys of HKEY_USERS: a key is empty when it has no values and every subkey is
// empty. A key that does not open for writing, or whose subkeys cannot all be read, counts as not
// empty, so that a key is never reported for content the scan could not see; so does a volatile
// key, which a restore could not make again, so that neither it nor a key above it is reported.
class CEmptyKeyVisitor : public CCheckVisitor {
public:
    explicit CEmptyKeyVisitor(CRegistryScanner& engine)
        : CCheckVisitor(engine, RPT_EMPTY_KEYS, {REG_TREE::USERS}, true)
    {
    }

    void Begin(REG_TREE) override
    {
        m_path = "HKEY_USERS";
        m_levels.clear();
    }

    ENTRY Enter(const TREE_KEY& key) override
    {
        if (!key.handle || (key.access & (KEY_READ | KEY_WRITE)) != (KEY_READ | KEY_WRITE))
            return SKIP;
        m_levels.push_back({key.name, key.handle, m_path.size()});
        if (key.depth) {
            m_path += '\\';
            m_path += key.name;
        }
        return FOLLOW;
    }

    SUBKEY Subkey(const char* name) override
    {
        // A subkey the code page cannot name is not looked into: it counts as not empty. A name longer
        // than the name buffer ends the key's subkeys, which then count as not all empty.
        if (!name)
            return PASS_OVER;
        if (strlen(name) + 1 > kShortNameChars)
            return END_SUBKEYS;
        m_engine.SendPath(m_path);
        return ENTER;
    }

    bool WantsValues() override { return true; }

    // The key's counts decide, its values are not read.
    bool BeginValues(const VALUES_INFO& info) override
    {
        LEVEL& level = m_levels.back();
        level.empty = info.ok && info.values == 0 && level.emptySubkeys == info.subkeys &&
                      !IsVolatileKey(level.handle, m_path);
        if (level.empty)
            m_engine.ReportProblem(std::make_unique<CRegistryProblem>(
                m_path.substr(0, level.parentPathLength) + "\\" + level.name, "(Default)", "", RPT_EMPTY_KEYS, 0));
        return false;
    }

    bool Value(const WIDE_VALUE&) override { return false; }

    void Leave() override
    {
        const LEVEL level = std::move(m_levels.back());
        m_levels.pop_back();
        m_path.resize(level.parentPathLength);
        if (level.empty && !m_levels.empty())
            ++m_levels.back().emptySubkeys;
    }

private:
    struct LEVEL {
        std::string name;
        HKEY handle;             // open for reading and writing while the walk is in the key
        size_t parentPathLength; // m_path's length before the name was appended
        DWORD emptySubkeys = 0;
        bool empty = false;
    };

    std::string m_path; // the path of the key entered last
    std::vector<LEVEL> m_levels;
};

} // namespace

void RunTreeChecks(CRegistryScanner& engine, REGPROBLEM_TYPE first, CTreeVisitor* lead)
{
    // One memory of the files asked about: the two checks test many of the same texts.
    CFilePresence files;
    CFilePathVisitor filePaths(engine, files);
    CDeepScanVisitor deepScan(engine, files);
    CEmptyKeyVisitor emptyKeys(engine);
    CCheckVisitor* const checks[] = {&filePaths, &deepScan, &emptyKeys};
    std::vector<CTreeVisitor*> visitors;
    std::vector<CCheckVisitor*> kept;
    bool later = false;
    for (const REGPROBLEM_TYPE type : g_aScanOrder) {
        later = later || type == first;
        for (CCheckVisitor* check : checks) {
            if (check->Type() != type)
                continue;
            if (type == first) {
                visitors.insert(visitors.begin(), check);
            } else if (later && engine.IsCategorySelected(type)) {
                check->KeepFindings();
                visitors.push_back(check);
                kept.push_back(check);
            }
        }
    }
    if (lead)
        visitors.insert(visitors.begin(), lead);
    // Kept findings count only when the walk ended as it should: after a failure on the way the
    // later check walks again in its own turn.
    try {
        WalkTrees(engine, visitors);
    } catch (...) {
        for (CCheckVisitor* check : kept)
            engine.EndKeeping(check->Type(), false);
        throw;
    }
    for (CCheckVisitor* check : kept)
        engine.EndKeeping(check->Type(), true);
}

void CheckFilePaths(CRegistryScanner& engine)
{
    RunTreeChecks(engine, RPT_FILE_PATHS);
}

void CheckDeepScan(CRegistryScanner& engine)
{
    RunTreeChecks(engine, RPT_DEEP_SCAN);
}

void CheckEmptyKeys(CRegistryScanner& engine)
{
    RunTreeChecks(engine, RPT_EMPTY_KEYS);
}
