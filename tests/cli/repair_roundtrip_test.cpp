#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "cli_runner.h"
#include "framework/ascii.h"
#include "framework/com_ptr.h"
#include "framework/format.h"
#include "framework/handles.h"
#include "framework/paths.h"
#include "repair/reg_file.h"
#include "scan/registry.h"
#include "scope_guard.h"
#include "shortcut.h"

namespace {

using Values = std::map<std::string, std::pair<DWORD, std::string>>;
using Tree = std::map<std::string, Values>; // key path -> values

void SetRaw(HKEY root, const std::string& subkey, const std::string& name, DWORD type, const std::string& data)
{
    RegKey key;
    ASSERT_EQ(RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              ERROR_SUCCESS)
        << subkey;
    ASSERT_EQ(RegSetValueExA(key.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
}

void SetText(HKEY root, const std::string& subkey, const std::string& name, const std::string& text)
{
    SetRaw(root, subkey, name, REG_SZ, std::string(text.c_str(), text.size() + 1));
}

// Every key and value below path (a whole tree), or only the named value when one is given.
void Snapshot(const std::string& path, Tree& tree, const std::string* onlyValue = nullptr)
{
    const auto [rootName, subkey] = SplitKeyPath(path);
    RegKey key;
    if (RegOpenKeyExA(RootKeyFromName(rootName), subkey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return;
    Values& values = tree[path];
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameLength = sizeof name;
        DWORD type = 0;
        DWORD size = 0;
        if (RegEnumValueA(key.get(), i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            break;
        if (onlyValue && *onlyValue != name)
            continue;
        std::string data(size + 2, '\0');
        DWORD got = static_cast<DWORD>(data.size());
        RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got);
        data.resize(got);
        values[name] = {type, data};
    }
    if (onlyValue)
        return;
    std::vector<std::string> children;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        children.emplace_back(name);
    }
    for (const std::string& child : children)
        Snapshot(path + "\\" + child, tree);
}

// Runs a command line and waits for it; its exit status, or -1 when it could not be started.
long RunCommand(std::string command)
{
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return -1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<long>(code);
}

// What the registry editor's "reg export" writes of key, without the program's own settings key,
// which a scan and a repair write by design.
std::wstring Export(const TempDir& dir, const std::string& key)
{
    const std::string file = dir / "export.reg";
    if (RunCommand("reg.exe export \"" + key + "\" \"" + file + "\" /y") < 0)
        return L"reg export could not be started";
    const std::string bytes = ReadFileText(file);
    DeleteFileA(file.c_str());
    std::wstring text(bytes.size() / 2, L'\0');
    memcpy(text.data(), bytes.data(), text.size() * 2);
    std::wstring kept;
    bool settings = false;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find(L'\n', start);
        end = end == std::wstring::npos ? text.size() : end + 1;
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line[0] == L'[') {
            std::wstring lower = line;
            for (wchar_t& c : lower)
                c = c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
            settings = lower.rfind(L"[hkey_local_machine\\software\\hivora]", 0) == 0 ||
                       lower.rfind(L"[hkey_local_machine\\software\\hivora\\", 0) == 0;
        }
        if (!settings)
            kept += line;
        start = end;
    }
    return kept;
}

} // namespace

// Seeds a finding of every kind into the real registry of the prefix, previews and then repairs
// everything a full scan finds (Wine's own keys included), restores the set, and compares the
// seeded trees and the whole exported machine software and user trees before and after.
TEST(RepairRoundTrip, RestoreGivesBackEveryTreeAndFile)
{
    TempDir dir;
    CliCopy cli(dir);
    ASSERT_TRUE(cli.Ok());
    const ComApartment com;

    const std::string id = Format("%lu", GetCurrentProcessId());
    const std::string gone = "C:\\hvrt-missing-" + id;
    const std::string guid = Format("{B0B0B0B0-0000-4000-8000-%012lu}", GetCurrentProcessId());
    const std::string cv = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    const std::string uninstall = cv + "\\Uninstall\\HvRT" + id;
    const std::string appPath = cv + "\\App Paths\\hvrt" + id + ".exe";
    const std::string sound = "AppEvents\\Schemes\\Apps\\HvRT" + id;
    const std::string emptyKeys = ".DEFAULT\\Software\\HvRT" + id;
    const std::string runName = "HvRT" + id;
    const std::string dllName = gone + "\\shared.dll";
    const std::string helpName = "hvrt" + id + ".hlp";
    const std::string fontName = "HvRT " + id + " (TrueType)";
    const std::string shortcut = DesktopFolder() + "\\hvrt" + id + ".lnk";
    const ScopeGuard cleanUp([&] {
        DeleteFileA(shortcut.c_str());
        RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + guid).c_str());
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, uninstall.c_str());
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, appPath.c_str());
        RegDeleteTreeA(HKEY_CLASSES_ROOT, (".hvrt" + id).c_str());
        RegDeleteTreeA(HKEY_CLASSES_ROOT, ("hvrtfile" + id).c_str());
        RegDeleteTreeA(HKEY_CURRENT_USER, sound.c_str());
        RegDeleteTreeA(HKEY_USERS, emptyKeys.c_str());
        RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", runName.c_str());
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, (cv + "\\SharedDLLs").c_str(), dllName.c_str());
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\HELP", helpName.c_str());
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                           fontName.c_str());
    });

    SetText(HKEY_CLASSES_ROOT, "CLSID\\" + guid, "", "HvRT object");
    SetText(HKEY_CLASSES_ROOT, "CLSID\\" + guid + "\\InprocServer32", "", gone + "\\obj.dll");
    SetText(HKEY_CLASSES_ROOT, "CLSID\\" + guid + "\\InprocServer32", "ThreadingModel", "Apartment");
    SetText(HKEY_LOCAL_MACHINE, uninstall, "DisplayName", "HvRT \"quoted\" app");
    SetText(HKEY_LOCAL_MACHINE, uninstall, "UninstallString", gone + "\\uninst.exe");
    SetRaw(HKEY_LOCAL_MACHINE, uninstall, "EstimatedSize", REG_DWORD, std::string("\x10\x20\0\0", 4));
    SetRaw(HKEY_LOCAL_MACHINE, uninstall, "Blob", REG_BINARY, std::string(2000, '\x5a'));
    SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", fontName,
            "hvrt-" + id + "-missing.ttf");
    SetRaw(HKEY_LOCAL_MACHINE, cv + "\\SharedDLLs", dllName, REG_DWORD, std::string("\x02\0\0\0", 4));
    SetText(HKEY_LOCAL_MACHINE, appPath, "", gone + "\\hvrt.exe");
    SetRaw(HKEY_LOCAL_MACHINE, appPath, "Path", REG_EXPAND_SZ, std::string("%ProgramFiles%\\HvRT", 19) + '\0');
    SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\HELP", helpName, gone);
    SetText(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", runName, gone + "\\run.exe -q");
    SetText(HKEY_CLASSES_ROOT, ".hvrt" + id, "", "hvrtfile" + id);
    SetText(HKEY_CLASSES_ROOT, "hvrtfile" + id + "\\shell\\open\\command", "", "\"" + gone + "\\open.exe\" \"%1\"");
    SetText(HKEY_CURRENT_USER, sound + "\\Ding", "", "HvRT ding");
    SetText(HKEY_CURRENT_USER, sound + "\\Ding\\.Current", "", gone + "\\ding.wav");
    {
        RegKey key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_USERS, (emptyKeys + "\\Empty\\Deeper").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
    }
    ASSERT_FALSE(DesktopFolder().empty());
    ASSERT_TRUE(MakeShortcut(shortcut, gone + "\\target.exe"));
    const std::string shortcutBytes = ReadFileText(shortcut);

    const std::string run = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    const auto snapshot = [&] {
        Tree tree;
        Snapshot("HKEY_CLASSES_ROOT\\CLSID\\" + guid, tree);
        Snapshot("HKEY_LOCAL_MACHINE\\" + uninstall, tree);
        Snapshot("HKEY_LOCAL_MACHINE\\" + appPath, tree);
        Snapshot("HKEY_CLASSES_ROOT\\.hvrt" + id, tree);
        Snapshot("HKEY_CLASSES_ROOT\\hvrtfile" + id, tree);
        Snapshot("HKEY_CURRENT_USER\\" + sound, tree);
        Snapshot("HKEY_USERS\\" + emptyKeys, tree);
        Snapshot(run, tree, &runName);
        Snapshot("HKEY_LOCAL_MACHINE\\" + cv + "\\SharedDLLs", tree, &dllName);
        Snapshot("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\HELP", tree, &helpName);
        Snapshot("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", tree, &fontName);
        return tree;
    };
    const Tree before = snapshot();
    const std::wstring machineBefore = Export(dir, "HKLM\\Software");
    const std::wstring userBefore = Export(dir, "HKCU");
    ASSERT_GT(machineBefore.size(), 1000u);

    std::string out, err;
    ASSERT_EQ(cli.Run("repair --categories=all --select=all --dry-run --format=tsv", out, err), 0u) << err;
    const auto tsv = [](std::string text) {
        for (size_t at = text.find('\\'); at != std::string::npos; at = text.find('\\', at + 2))
            text.insert(at, 1, '\\');
        return text;
    };
    EXPECT_NE(out.find("\tHKEY_LOCAL_MACHINE\\\\" + tsv(uninstall) + "\t0\t4\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\nvalue\twinstrt\t"), std::string::npos) << out;
    EXPECT_NE(out.find("\tHKEY_CURRENT_USER\\\\" + tsv(sound) + "\\\\Ding\\\\.Current\t\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\nfile\tshrtcut\t"), std::string::npos) << out;
    // Wine registers fonts by full path and many values as indirect strings: none that names a
    // file that is there is a finding.
    char windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    for (size_t start = 0; start < out.size();) {
        const size_t end = out.find('\n', start);
        std::vector<std::string> fields(1);
        for (size_t i = start; i < end; ++i) {
            if (out[i] == '\t')
                fields.emplace_back();
            else if (out[i] == '\\' && out[i + 1] == '\\')
                fields.back() += out[i++];
            else
                fields.back() += out[i];
        }
        start = end + 1;
        if (fields.size() < 5)
            continue;
        std::string file = fields[4];
        if (fields[1] == "fonts" && file.find('\\') == std::string::npos)
            file = std::string(windows) + "\\Fonts\\" + file;
        else if (fields[1] == "deepscn" && file[0] == '@')
            file = file.substr(1, file.find(',') - 1);
        else if (fields[1] != "fonts")
            continue;
        EXPECT_EQ(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES) << fields[2] << " " << fields[3];
    }
    EXPECT_EQ(snapshot(), before);
    EXPECT_TRUE(Export(dir, "HKLM\\Software") == machineBefore);
    EXPECT_TRUE(Export(dir, "HKCU") == userBefore);
    EXPECT_NE(GetFileAttributesA(shortcut.c_str()), INVALID_FILE_ATTRIBUTES);

    EXPECT_EQ(cli.Run("repair --categories=all --select=all", out, err), 0u) << out << err;
    const size_t at = out.find("\nBackup set: ");
    ASSERT_NE(at, std::string::npos) << out << err;
    const std::string set = out.substr(at + 13, out.find('\n', at + 1) - at - 13);

    const Tree repaired = snapshot();
    EXPECT_FALSE(repaired.count("HKEY_CLASSES_ROOT\\CLSID\\" + guid + "\\InprocServer32")) << out;
    EXPECT_FALSE(repaired.count("HKEY_LOCAL_MACHINE\\" + uninstall)) << out;
    EXPECT_TRUE(repaired.at("HKEY_LOCAL_MACHINE\\" + appPath).count("Path"));
    EXPECT_FALSE(repaired.at("HKEY_LOCAL_MACHINE\\" + appPath).count(""));
    EXPECT_FALSE(repaired.count("HKEY_CLASSES_ROOT\\.hvrt" + id)) << out;
    EXPECT_FALSE(repaired.at("HKEY_CURRENT_USER\\" + sound + "\\Ding\\.Current").count("")) << out;
    EXPECT_FALSE(repaired.count("HKEY_USERS\\" + emptyKeys + "\\Empty")) << out;
    EXPECT_TRUE(repaired.at(run).empty()) << out;
    EXPECT_TRUE(repaired.at("HKEY_LOCAL_MACHINE\\" + cv + "\\SharedDLLs").empty()) << out;
    EXPECT_TRUE(repaired.at("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\HELP").empty()) << out;
    EXPECT_TRUE(repaired.at("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts").empty())
        << out;
    EXPECT_EQ(GetFileAttributesA(shortcut.c_str()), INVALID_FILE_ATTRIBUTES) << out;

    EXPECT_EQ(cli.Run("restore " + set, out, err), 0u) << err;
    EXPECT_EQ(out, "1 Item(s) have been successfully restored\n") << err;
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(ReadFileText(shortcut), shortcutBytes);
    // gtest would print both exports whole on a difference: a plain comparison keeps the log short.
    EXPECT_TRUE(Export(dir, "HKLM\\Software") == machineBefore);
    EXPECT_TRUE(Export(dir, "HKCU") == userBefore);
}

namespace {

using WideValues = std::map<std::wstring, std::pair<DWORD, std::string>>;
using WideTree = std::map<std::wstring, WideValues>; // key path below the root -> values

// Every key and value below root\path, names and data as the wide calls read them.
void WideSnapshot(HKEY root, const std::wstring& path, WideTree& tree)
{
    RegKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return;
    WideValues& values = tree[path];
    std::vector<std::wstring> children;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD nameLength = 16384;
        DWORD type = 0;
        DWORD size = 0;
        if (RegEnumValueW(key.get(), i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            break;
        std::string data(size, '\0');
        RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
        values[std::wstring(name, nameLength)] = {type, data.substr(0, size)};
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        children.emplace_back(name, length);
    }
    for (const std::wstring& child : children)
        WideSnapshot(root, path + L"\\" + child, tree);
}

void SetWide(const std::wstring& subkey, const std::wstring& name, DWORD type, const std::wstring& text)
{
    RegKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

} // namespace

// An uninstall entry whose key names, value names and data hold Cyrillic, CJK and a character
// beyond the Basic Multilingual Plane comes back from its backup byte for byte.
TEST(RepairRoundTrip, TextOutsideTheCodePageComesBackExactly)
{
    ASSERT_EQ(GetACP(), 1252u) << "the test needs an ANSI code page without Cyrillic and CJK letters";
    TempDir dir;
    CliCopy cli(dir);
    ASSERT_TRUE(cli.Ok());

    const std::wstring id = std::to_wstring(GetCurrentProcessId());
    const std::wstring entry = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\HvUni" + id;
    const std::wstring cyrillic = L"\u041F\u0440\u043E\u0433\u0440\u0430\u043C\u043C\u0430";
    const std::wstring cjk = L"\u65E5\u672C\u8A9E";
    const std::wstring astral = L"\U0001F600";
    SetWide(entry, L"UninstallString", REG_SZ, L"C:\\hvuni-missing-" + id + L"\\uninst.exe");
    SetWide(entry, L"DisplayName", REG_SZ, cyrillic + L" " + cjk + L" " + astral);
    SetWide(entry, cyrillic, REG_EXPAND_SZ, L"%ProgramFiles%\\" + cjk);
    SetWide(entry, astral, REG_MULTI_SZ, cyrillic + L'\0' + cjk + astral + L'\0');
    SetWide(entry + L"\\" + cyrillic, cjk, REG_SZ, astral + L" \"quoted\" \\ " + cyrillic);
    SetWide(entry + L"\\" + cjk + astral + L"\\" + cyrillic, L"", REG_SZ, cjk);
    WideTree before;
    WideSnapshot(HKEY_LOCAL_MACHINE, entry, before);
    ASSERT_EQ(before.size(), 4u);

    std::string out, err;
    cli.Run("repair --categories=uninsta --select=all", out, err);
    const size_t at = out.find("\nBackup set: ");
    ASSERT_NE(at, std::string::npos) << out << err;
    const std::string set = out.substr(at + 13, out.find('\n', at + 1) - at - 13);
    WideTree removed;
    WideSnapshot(HKEY_LOCAL_MACHINE, entry, removed);
    EXPECT_TRUE(removed.empty()) << out;

    EXPECT_EQ(cli.Run("restore " + set, out, err), 0u) << err;
    WideTree after;
    WideSnapshot(HKEY_LOCAL_MACHINE, entry, after);
    EXPECT_EQ(after, before);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, entry.c_str());
}

namespace {

// The registry data set of real-world shapes, imported into the prefix for the test's lifetime.
// The keys the import makes are deleted afterwards; keys that were there before stay.
class ImportedDataSet {
public:
    explicit ImportedDataSet(const std::string& file)
    {
        const std::string text = ReadFileText(file);
        for (size_t start = 0; start < text.size();) {
            size_t end = text.find('\n', start);
            end = end == std::string::npos ? text.size() : end;
            std::string line = text.substr(start, end - start);
            start = end + 1;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.size() > 2 && line.front() == '[' && line.back() == ']')
                RecordCreated(line.substr(1, line.size() - 2));
        }
        m_ok = !m_created.empty() && RunCommand("reg.exe import \"" + file + "\"") == 0;
    }
    ~ImportedDataSet()
    {
        for (const auto& [root, subkey] : m_created)
            RegDeleteTreeA(root, subkey.c_str());
    }
    bool Ok() const { return m_ok; }

private:
    // The first key on the way to path that is not there yet.
    void RecordCreated(const std::string& path)
    {
        const auto [rootName, subkey] = SplitKeyPath(path);
        const HKEY root = RootKeyFromName(rootName);
        for (size_t end = subkey.find('\\');; end = subkey.find('\\', end + 1)) {
            const std::string prefix = subkey.substr(0, end);
            RegKey key;
            if (RegOpenKeyExA(root, prefix.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
                m_created.emplace_back(root, prefix);
                return;
            }
            if (end == std::string::npos)
                return;
        }
    }

    std::vector<std::pair<HKEY, std::string>> m_created;
    bool m_ok = false;
};

// The fields of each --format=tsv line, unescaped.
std::vector<std::vector<std::string>> TsvRows(const std::string& out)
{
    std::vector<std::vector<std::string>> rows;
    for (size_t start = 0; start < out.size();) {
        size_t end = out.find('\n', start);
        end = end == std::string::npos ? out.size() : end;
        std::vector<std::string> fields(1);
        for (size_t i = start; i < end; ++i) {
            if (out[i] == '\t')
                fields.emplace_back();
            else if (out[i] == '\\' && i + 1 < end)
                fields.back() += out[++i] == 't' ? '\t' : out[i];
            else
                fields.back() += out[i];
        }
        rows.push_back(std::move(fields));
        start = end + 1;
    }
    return rows;
}

} // namespace

// A data set of shapes taken from real Windows registries: Windows' package state is never a
// finding, the 32-bit classes seen under both Wow6432Node names are found once, nothing is
// reported twice, and what a repair removes comes back from its backup byte for byte, the letter
// case of every name included.
TEST(RepairRoundTrip, RealWorldShapesComeBackExactly)
{
    TempDir dir;
    CliCopy cli(dir);
    ASSERT_TRUE(cli.Ok());
    const ImportedDataSet dataSet(ProgramFolder() + "real_world_shapes.reg");
    ASSERT_TRUE(dataSet.Ok());

    const std::string oddClass = "{4856A7B1-0D5A-4E4B-9B0E-5E7D1A2B3C02}";
    const std::string wowClass = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\CLSID\\"
                                 "{4856A7B1-0D5A-4E4B-9B0E-5E7D1A2B3C01}";
    const std::wstring machineBefore = Export(dir, "HKLM\\Software");
    const std::wstring userBefore = Export(dir, "HKCU");

    std::string out, err;
    ASSERT_EQ(cli.Run("repair --categories=all --select=all --dry-run --format=tsv", out, err), 0u) << err;
    EXPECT_TRUE(Export(dir, "HKLM\\Software") == machineBefore);
    EXPECT_TRUE(Export(dir, "HKCU") == userBefore);

    std::set<std::string> seen;
    std::set<std::string> found;
    for (const std::vector<std::string>& row : TsvRows(out)) {
        if (row.size() < 5)
            continue;
        const std::string& category = row[1];
        const std::string& key = row[2];
        const std::string& name = row[3];
        const std::string line = category + " " + key + "\\" + name + "=" + row[4];
        EXPECT_TRUE(seen.insert(LowerAscii(category + "|" + key + "|" + name)).second) << "twice: " << line;
        for (const char* packageState : {"local settings", "appxhvdataset0shapes", "activatableclasses", "packagedcom",
                                         "\\appx\\", "windowsapps", "systemapps", ".hvdspkg"})
            EXPECT_EQ(LowerAscii(line).find(packageState), std::string::npos) << line;
        EXPECT_EQ(LowerAscii(key).find("wow6432node\\classes"), std::string::npos) << line;
        if (key.find("HivoraDataSet") != std::string::npos || name.find("HivoraDataSet") != std::string::npos ||
            key.find("{4856A7B1-0D5A-4E4B-9B0E-5E7D1A2B3C0") != std::string::npos)
            found.insert(LowerAscii(category + " " + key + "\\" + name));
    }
    const std::string uninstall = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    for (const std::string& expected : std::vector<std::string>{
             "comactx HKEY_CLASSES_ROOT\\CLSID\\" + oddClass + "\\InprocServer32\\(Default)",
             "clskeys HKEY_CLASSES_ROOT\\HivoraDataSet.OddCase.1\\CLSID\\(Default)",
             "uninsta " + uninstall + "\\HivoraDataSet Shapes",
             "deepscn HKEY_LOCAL_MACHINE\\SOFTWARE\\HivoraDataSet\\ Blank start\\Tool",
             "deepscn " + wowClass + "\\InprocServer32\\",
             "fileref " + wowClass + "\\LocalPath",
             "deepscn " + wowClass + "\\LocalPath",
         })
        EXPECT_TRUE(found.count(LowerAscii(expected))) << expected << "\n" << out;

    EXPECT_EQ(cli.Run("repair --categories=all --select=all", out, err), 0u) << out << err;
    const size_t at = out.find("\nBackup set: ");
    ASSERT_NE(at, std::string::npos) << out << err;
    const std::string set = out.substr(at + 13, out.find('\n', at + 1) - at - 13);
    RegKey removed;
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, (uninstall.substr(19) + "\\HivoraDataSet Shapes").c_str(), 0, KEY_READ,
                            removed.put()),
              ERROR_SUCCESS);

    // The backup names every key as the registry stores it, not as the check spelled it, and a key
    // found through HKEY_CLASSES_ROOT by the hive that holds it (Wine's classes are the machine's).
    std::vector<REG_FILE_KEY> keys;
    std::string error;
    ASSERT_TRUE(ParseRegFile(ReadFileText(dir / ("Backup\\" + set + ".reg")), keys, error)) << error;
    std::set<std::string> sections;
    for (const REG_FILE_KEY& key : keys)
        sections.insert(key.strPath);
    const std::string classes = "HKEY_LOCAL_MACHINE\\Software\\Classes\\";
    EXPECT_TRUE(sections.count(classes + "CLSID\\" + oddClass + "\\InProcServer32"));
    EXPECT_TRUE(sections.count(classes + "CLSID\\" + oddClass + "\\InProcServer32\\ Blank start"));
    EXPECT_TRUE(sections.count(classes + "HivoraDataSet.OddCase.1\\Clsid"));
    EXPECT_FALSE(sections.count(classes + "CLSID\\" + oddClass + "\\InprocServer32"));
    for (const std::string& section : sections)
        EXPECT_NE(section.rfind("HKEY_CLASSES_ROOT\\", 0), 0u) << section;

    EXPECT_EQ(cli.Run("restore " + set, out, err), 0u) << err;
    EXPECT_EQ(out, "1 Item(s) have been successfully restored\n") << err;
    EXPECT_TRUE(Export(dir, "HKLM\\Software") == machineBefore);
    EXPECT_TRUE(Export(dir, "HKCU") == userBefore);
}
