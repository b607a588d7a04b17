#include <gtest/gtest.h>

#include <map>

#include "cli_runner.h"
#include "framework/format.h"
#include "framework/handles.h"
#include "scan/registry.h"
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

} // namespace

// Seeds a finding of every kind into the real registry of the prefix, repairs everything a full scan
// finds, restores the set, and compares the seeded trees before and after.
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
    const std::string desktop = DesktopFolder();
    ASSERT_FALSE(desktop.empty());
    const std::string shortcut = desktop + "\\hvrt" + id + ".lnk";
    ASSERT_TRUE(CreateShortcut(shortcut, gone + "\\target.exe"));
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

    std::string out, err;
    cli.Run("repair --categories=all --select=all", out, err);
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

    // Wine keeps "Temporary System Parameters" as volatile keys that it makes again itself and that
    // no import can bring back as they were; the check rightly reports them, and nothing else.
    if (cli.Run("restore " + set, out, err) != 0) {
        const std::string marker = "did not import ";
        const size_t list = err.find(": ", err.find(marker) + marker.size());
        ASSERT_NE(list, std::string::npos) << err;
        const std::string differences = err.substr(list + 2, err.find('\n', list) - list - 2);
        for (size_t start = 0; start < differences.size();) {
            size_t end = differences.find("; ", start);
            if (end == std::string::npos)
                end = differences.size();
            EXPECT_NE(differences.substr(start, end - start).find("\\Software\\Wine\\Temporary System Parameters"),
                      std::string::npos)
                << differences.substr(start, end - start);
            start = end + 2;
        }
    } else {
        EXPECT_EQ(out, "1 Item(s) have been successfully restored\n") << err;
    }
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(ReadFileText(shortcut), shortcutBytes);

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
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", fontName.c_str());
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
