#include "bare_walk.h"

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "framework/format.h"
#include "framework/handles.h"

namespace {

constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE;
constexpr DWORD kNameChars = 299;
constexpr DWORD kBuffer = 1024;

class CBareWalker {
public:
    WALK_COUNT m_count;

    bool Open(HKEY parent, const std::string& subkey, REGSAM access, RegKey& key)
    {
        if (RegOpenKeyExA(parent, subkey.c_str(), 0, access, key.put()) != ERROR_SUCCESS)
            return false;
        ++m_count.nKeys;
        return true;
    }
    // Reads one value into a buffer of size bytes; the text, or false when it is missing.
    bool Query(HKEY key, const char* name, DWORD size, std::string& text)
    {
        char data[kBuffer + 1] = {};
        DWORD len = size;
        DWORD type = 0;
        if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &len) != ERROR_SUCCESS)
            return false;
        ++m_count.nValues;
        text = data;
        return true;
    }
    static bool EnumKey(HKEY key, DWORD index, char* name, DWORD chars = kNameChars)
    {
        return RegEnumKeyA(key, index, name, chars) == ERROR_SUCCESS;
    }
    // Enumerates one value with name and data buffers of 1024 bytes.
    bool EnumValue(HKEY key, DWORD index, std::string* name = nullptr, std::string* data = nullptr)
    {
        char nameBuf[kBuffer] = {};
        char dataBuf[kBuffer + 1] = {};
        DWORD nameLen = kBuffer;
        DWORD dataLen = kBuffer;
        DWORD type = 0;
        if (RegEnumValueA(key, index, nameBuf, &nameLen, nullptr, &type, reinterpret_cast<BYTE*>(dataBuf), &dataLen) !=
            ERROR_SUCCESS)
            return false;
        ++m_count.nValues;
        if (name)
            *name = nameBuf;
        if (data)
            *data = dataBuf;
        return true;
    }

    void ComActiveX();
    void ProgIdWalk();
    void Uninstall();
    void Fonts();
    void SharedDlls();
    void AppPaths();
    void HelpFiles();
    void Startup();
    void FilePaths(HKEY parent, const std::string& name);
    void Shortcuts(const std::string& pattern);
    bool EmptyKeys(HKEY parent, const std::string& name);
    void FileAssociations();
    void SoundEvents();
    void DeepScan(HKEY root, const std::string& subkey, DWORD options = 0);

private:
    void DeepValues(HKEY key);
};

void CBareWalker::ComActiveX()
{
    static const char* const entries[] = {"InprocServer32", "InprocServer", "LocalServer32", "LocalServer",
                                          "InprocHandler32", "InprocHandler", "PersistentHandler", "DefaultIcon"};
    char name[kNameChars + 1];
    std::string data;
    RegKey classes;
    if (Open(HKEY_CLASSES_ROOT, "CLSID", kReadWrite, classes)) {
        for (DWORD i = 0; EnumKey(classes.get(), i, name); ++i)
            for (const char* entry : entries) {
                RegKey key;
                if (Open(classes.get(), Format("%s\\%s", name, entry), kReadWrite, key))
                    Query(key.get(), "", 1023, data);
            }
        for (DWORD i = 0; EnumKey(classes.get(), i, name); ++i) {
            RegKey key, app;
            if (Open(classes.get(), name, kReadWrite, key) &&
                Query(key.get(), "AppID", 1023, data))
                Open(HKEY_CLASSES_ROOT, "AppID\\" + data, kReadWrite, app);
        }
    }
    RegKey apps;
    if (Open(HKEY_CLASSES_ROOT, "AppID", kReadWrite, apps))
        for (DWORD i = 0; EnumKey(apps.get(), i, name); ++i) {
            RegKey key, app;
            if (name[0] != '{' && Open(apps.get(), name, kReadWrite, key) &&
                Query(key.get(), "AppID", 1023, data))
                Open(HKEY_CLASSES_ROOT, "AppID\\" + data, kReadWrite, app);
        }
    for (DWORD i = 0; EnumKey(HKEY_CLASSES_ROOT, i, name); ++i) {
        RegKey key, cls;
        if (Open(HKEY_CLASSES_ROOT, Format("%s\\CLSID", name), kReadWrite, key) && Query(key.get(), "", 1023, data))
            Open(HKEY_CLASSES_ROOT, "CLSID\\" + data, kReadWrite, cls);
    }
    RegKey libs;
    if (!Open(HKEY_CLASSES_ROOT, "TypeLib", KEY_READ, libs))
        return;
    char lib[kNameChars + 1], version[kNameChars + 1], locale[kNameChars + 1];
    for (DWORD g = 0; EnumKey(libs.get(), g, lib); ++g) {
        RegKey libKey;
        if (!Open(libs.get(), lib, KEY_READ, libKey))
            continue;
        for (DWORD v = 0; EnumKey(libKey.get(), v, version); ++v) {
            RegKey versionKey;
            if (!Open(libKey.get(), version, KEY_READ, versionKey))
                continue;
            for (DWORD l = 0; EnumKey(versionKey.get(), l, locale); ++l) {
                RegKey win32;
                if (Open(versionKey.get(), Format("%s\\win32", locale), KEY_READ, win32))
                    Query(win32.get(), "", kBuffer, data);
            }
        }
    }
}

// The one walk of invalid class keys and of type libraries.
void CBareWalker::ProgIdWalk()
{
    char name[kNameChars + 1];
    std::string cls, raw;
    RegKey root;
    if (!Open(HKEY_CLASSES_ROOT, "", kReadWrite, root))
        return;
    for (DWORD i = 0; EnumKey(root.get(), i, name); ++i) {
        if (name[0] == '.')
            continue;
        RegKey key, clsKey, server;
        if (Open(HKEY_CLASSES_ROOT, name, kReadWrite, key) &&
            Open(key.get(), "CLSID", kReadWrite, clsKey) &&
            Query(clsKey.get(), "", kBuffer, cls) &&
            Open(HKEY_CLASSES_ROOT, "CLSID\\" + cls + "\\InprocServer32", kReadWrite, server))
            Query(server.get(), "", kBuffer, raw);
    }
}

void CBareWalker::Uninstall()
{
    static const std::string root = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    char name[kBuffer];
    std::string data;
    RegKey list;
    if (!Open(HKEY_LOCAL_MACHINE, root, kReadWrite, list))
        return;
    for (DWORD i = 0; EnumKey(list.get(), i, name, kBuffer); ++i) {
        RegKey entry;
        if (Open(HKEY_LOCAL_MACHINE, root + "\\" + name, kReadWrite, entry))
            Query(entry.get(), "UninstallString", kBuffer, data);
    }
}

void CBareWalker::Fonts()
{
    std::string data;
    for (const char* folders : {"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                                "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"}) {
        RegKey key;
        if (Open(HKEY_CURRENT_USER, folders, kReadWrite, key))
            Query(key.get(), "Fonts", kBuffer, data);
    }
    RegKey fonts;
    if (Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", kReadWrite, fonts))
        for (DWORD i = 0; EnumValue(fonts.get(), i); ++i) {
        }
}

void CBareWalker::SharedDlls()
{
    RegKey key;
    if (Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", kReadWrite, key))
        for (DWORD i = 0; EnumValue(key.get(), i); ++i) {
        }
}

void CBareWalker::AppPaths()
{
    static const std::string root = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
    char name[kBuffer];
    std::string data;
    RegKey list;
    if (!Open(HKEY_LOCAL_MACHINE, root, kReadWrite, list))
        return;
    for (DWORD i = 0; EnumKey(list.get(), i, name, kBuffer); ++i) {
        RegKey entry;
        if (Open(HKEY_LOCAL_MACHINE, root + "\\" + name, kReadWrite, entry))
            Query(entry.get(), "", kBuffer, data);
    }
}

void CBareWalker::HelpFiles()
{
    for (const char* path : {"SOFTWARE\\Microsoft\\Windows\\HELP", "SOFTWARE\\Microsoft\\Windows\\HTML Help"}) {
        RegKey key;
        if (Open(HKEY_LOCAL_MACHINE, path, kReadWrite, key))
            for (DWORD i = 0; EnumValue(key.get(), i); ++i) {
            }
    }
}

void CBareWalker::Startup()
{
    static const char* const run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    std::string name, data;
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        RegKey key;
        if (Open(root, run, kReadWrite, key))
            for (DWORD i = 0; EnumValue(key.get(), i, &name); ++i)
                Query(key.get(), name.c_str(), kBuffer, data);
    }
    RegKey folders;
    if (Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", kReadWrite,
             folders))
        Query(folders.get(), "Common Programs", kBuffer, data);
    char programs[MAX_PATH];
    SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, FALSE);
    for (const char* list : {"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu\\Programs",
                             "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu2\\Programs"}) {
        RegKey key;
        if (!Open(HKEY_CURRENT_USER, list, kReadWrite, key))
            continue;
        char sub[kBuffer];
        for (DWORD i = 0;; ++i) {
            DWORD len = kBuffer;
            if (RegEnumKeyExA(key.get(), i, sub, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
        }
    }
}

void CBareWalker::FilePaths(HKEY parent, const std::string& name)
{
    // One handle per key, opened under its parent; values are read only in keys with one or two
    // subkeys, the only ones whose values the check examines.
    RegKey key;
    if (!Open(parent, name, KEY_READ, key))
        return;
    char sub[kNameChars + 1];
    DWORD subkeys = 0;
    while (EnumKey(key.get(), subkeys, sub)) {
        ++subkeys;
        FilePaths(key.get(), sub);
    }
    if (subkeys == 1 || subkeys == 2)
        for (DWORD i = 0; EnumValue(key.get(), i); ++i) {
        }
}

void CBareWalker::Shortcuts(const std::string& pattern)
{
    WIN32_FIND_DATAA found;
    FindHandle find(FindFirstFileA(pattern.c_str(), &found));
    if (!find)
        return;
    ++m_count.nKeys;
    const std::string folder = pattern.substr(0, pattern.size() - 3); // keeps the backslash
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        ++m_count.nValues;
        const std::string path = folder + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (lstrcmpiA(name.c_str(), "sendto") != 0)
                Shortcuts(path + "\\*.*");
        } else if (name.size() >= 4 && name.compare(name.size() - 4, 4, ".lnk") == 0) {
            // Visiting a shortcut means reading its file.
            FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
            char bytes[4096];
            DWORD read = 0;
            if (file)
                ReadFile(file.get(), bytes, sizeof bytes, &read, nullptr);
        }
    } while (FindNextFileA(find.get(), &found));
}

bool CBareWalker::EmptyKeys(HKEY parent, const std::string& name)
{
    RegKey key;
    if (!Open(parent, name, kReadWrite, key))
        return true;
    DWORD subkeys = 0, values = 0;
    if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    if (subkeys == 0)
        return values == 0;
    DWORD empty = 0;
    char sub[kNameChars + 1];
    for (DWORD i = 0; EnumKey(key.get(), i, sub); ++i)
        empty += EmptyKeys(key.get(), sub);
    return empty == subkeys && values == 0;
}

void CBareWalker::FileAssociations()
{
    char name[kNameChars + 1];
    std::string type, command;
    RegKey root;
    if (!Open(HKEY_CLASSES_ROOT, "", kReadWrite, root))
        return;
    for (DWORD i = 0; EnumKey(root.get(), i, name); ++i) {
        if (name[0] != '.')
            continue;
        RegKey ext, open;
        if (Open(HKEY_CLASSES_ROOT, name, kReadWrite, ext) && Query(ext.get(), "", 1023, type) &&
            Open(HKEY_CLASSES_ROOT, type + "\\shell\\open\\command\\", kReadWrite, open))
            Query(open.get(), "", 1023, command);
    }
}

void CBareWalker::SoundEvents()
{
    static const std::string root = "AppEvents\\Schemes\\Apps";
    char app[kNameChars + 1], event[kNameChars + 1];
    std::string data;
    RegKey apps;
    if (!Open(HKEY_CURRENT_USER, root, kReadWrite, apps))
        return;
    for (DWORD a = 0; EnumKey(apps.get(), a, app); ++a) {
        RegKey appKey;
        if (!Open(HKEY_CURRENT_USER, root + "\\" + app, kReadWrite, appKey))
            continue;
        for (DWORD v = 0; EnumKey(appKey.get(), v, event); ++v)
            for (const char* scheme : {".Current", ".Default"}) {
                RegKey key;
                if (Open(HKEY_CURRENT_USER, Format("%s\\%s\\%s\\%s", root.c_str(), app, event, scheme), kReadWrite, key))
                    Query(key.get(), "", 1023, data);
            }
    }
}

void CBareWalker::DeepValues(HKEY key)
{
    DWORD maxName = 0, maxData = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, &maxData,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return;
    std::vector<char> nameBuf(maxName + 2), dataBuf(maxData + 2);
    for (DWORD i = 0;; ++i) {
        DWORD nameLen = static_cast<DWORD>(nameBuf.size()), dataLen = static_cast<DWORD>(dataBuf.size());
        DWORD type = 0;
        const LONG rc = RegEnumValueA(key, i, nameBuf.data(), &nameLen, nullptr, &type,
                                      reinterpret_cast<BYTE*>(dataBuf.data()), &dataLen);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc == ERROR_SUCCESS)
            ++m_count.nValues;
    }
}

// Depth first with a stack of open keys, each key opened once for enumeration and values, its
// values read after its subkeys.
void CBareWalker::DeepScan(HKEY root, const std::string& subkey, DWORD options)
{
    constexpr REGSAM access = KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE;
    struct LEVEL {
        RegKey key;
        DWORD index = 0;
    };
    std::vector<LEVEL> stack(1);
    if (RegOpenKeyExA(root, subkey.c_str(), options, access, stack.back().key.put()) != ERROR_SUCCESS) {
        stack.back().key.release();
        return;
    }
    ++m_count.nKeys;
    DeepValues(stack.back().key.get());
    char name[kBuffer];
    for (;;) {
        LEVEL& top = stack.back();
        if (!top.key || RegEnumKeyA(top.key.get(), top.index, name, kBuffer) != ERROR_SUCCESS) {
            if (stack.size() == 1)
                return;
            if (top.key)
                DeepValues(top.key.get());
            stack.pop_back();
            ++stack.back().index;
            continue;
        }
        LEVEL child;
        if (RegOpenKeyExA(top.key.get(), name, options, access, child.key.put()) == ERROR_SUCCESS)
            ++m_count.nKeys;
        else
            child.key.release();
        stack.push_back(std::move(child));
    }
}

} // namespace

WALK_COUNT BareWalk(REGPROBLEM_TYPE type)
{
    CBareWalker walker;
    switch (type) {
    case RPT_COM_ACTIVEX:
        walker.ComActiveX();
        break;
    case RPT_UNINSTALL:
        walker.Uninstall();
        break;
    case RPT_FONTS:
        walker.Fonts();
        break;
    case RPT_SHARED_DLLS:
        walker.SharedDlls();
        break;
    case RPT_APP_PATHS:
        walker.AppPaths();
        break;
    case RPT_HELP_FILES:
        walker.HelpFiles();
        break;
    case RPT_STARTUP:
        walker.Startup();
        break;
    case RPT_FILE_PATHS:
        walker.FilePaths(HKEY_LOCAL_MACHINE, "");
        walker.FilePaths(HKEY_USERS, "");
        break;
    case RPT_SHORTCUTS: {
        char profile[MAX_PATH] = {};
        const bool found = SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_PROFILE, nullptr, 0, profile));
        walker.Shortcuts(found ? std::string(profile) + "\\*.*" : "\\*.*");
        break;
    }
    case RPT_EMPTY_KEYS:
        walker.EmptyKeys(HKEY_USERS, "");
        break;
    case RPT_FILE_ASSOC:
        walker.FileAssociations();
        break;
    case RPT_SOUND_EVENTS:
        walker.SoundEvents();
        break;
    case RPT_CLASS_KEYS:
    case RPT_TYPE_LIBS:
        walker.ProgIdWalk();
        break;
    case RPT_DEEP_SCAN:
        walker.DeepScan(HKEY_USERS, "");
        walker.DeepScan(HKEY_LOCAL_MACHINE, "SOFTWARE");
        break;
    }
    return walker.m_count;
}

WALK_COUNT TreeWalk()
{
    // Links are opened as themselves, as the scan's tree walks do, so every key is met once.
    CBareWalker walker;
    walker.DeepScan(HKEY_LOCAL_MACHINE, "", REG_OPTION_OPEN_LINK);
    walker.DeepScan(HKEY_USERS, "", REG_OPTION_OPEN_LINK);
    const WALK_COUNT registry = walker.m_count;
    const WALK_COUNT shortcuts = BareWalk(RPT_SHORTCUTS);
    return {registry.nKeys + shortcuts.nKeys, registry.nValues + shortcuts.nValues};
}
