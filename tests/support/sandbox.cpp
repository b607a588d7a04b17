#include "sandbox.h"

#include <cstring>
#include <stdexcept>
#include <vector>

#include "framework/format.h"
#include "scan/registry.h"

namespace {

const HKEY kRedirected[4] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS};
const char* const kNames[4] = {"HKLM\\SOFTWARE\\Classes", "HKCU", "HKLM", "HKU"};

void Check(LONG rc, const char* what)
{
    if (rc != ERROR_SUCCESS)
        throw std::runtime_error(Format("%s failed: %ld", what, rc));
}

// The links made in the sandbox: deleting a key tree would follow them into their targets.
std::vector<std::pair<HKEY, std::wstring>> g_links;

RegKey OpenPath(const std::string& keyPath, bool create)
{
    const auto [rootName, subkey] = SplitKeyPath(keyPath);
    const HKEY root = RootKeyFromName(rootName);
    if (!root)
        throw std::runtime_error("bad key path " + keyPath);
    RegKey key;
    LONG rc;
    if (create)
        rc = RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
    else
        rc = RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, key.put());
    if (rc != ERROR_SUCCESS)
        key.reset();
    return key;
}

} // namespace

RegistrySandbox::RegistrySandbox()
{
    static int serial = 0;
    m_scratch = Format("Software\\HivoraTestSandbox\\%lu-%d", GetCurrentProcessId(), ++serial);
    RegDeleteTreeA(HKEY_CURRENT_USER, m_scratch.c_str());
    // Every root is opened before any is redirected: HKEY_CURRENT_USER itself is one of them.
    // HKEY_CLASSES_ROOT shows the machine's classes, HKEY_LOCAL_MACHINE\SOFTWARE\Classes, as on
    // Windows (the user's classes are not merged in: Wine does not either).
    for (int i = 0; i < 4; ++i)
        Check(RegCreateKeyExA(HKEY_CURRENT_USER, (m_scratch + "\\" + kNames[i]).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, m_roots[i].put(), nullptr),
              "RegCreateKeyExA");
    for (int i = 0; i < 4; ++i)
        Check(RegOverridePredefKey(kRedirected[i], m_roots[i].get()), "RegOverridePredefKey");
}

RegistrySandbox::~RegistrySandbox()
{
    for (const auto& [root, subkey] : g_links) {
        RegKey link;
        if (RegOpenKeyExW(root, subkey.c_str(), REG_OPTION_OPEN_LINK, DELETE, link.put()) == ERROR_SUCCESS)
            RegDeleteKeyW(link.get(), L"");
    }
    g_links.clear();
    for (HKEY root : kRedirected)
        RegOverridePredefKey(root, nullptr);
    for (RegKey& key : m_roots)
        key.reset();
    RegDeleteTreeA(HKEY_CURRENT_USER, m_scratch.c_str());
}

void SetBinary(const std::string& keyPath, const std::string& name, DWORD type, const std::string& bytes)
{
    const RegKey key = OpenPath(keyPath, true);
    if (!key)
        throw std::runtime_error("cannot create " + keyPath);
    Check(RegSetValueExA(key.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                         static_cast<DWORD>(bytes.size())),
          "RegSetValueExA");
}

void SetWideString(const std::string& keyPath, const std::wstring& below, const std::wstring& name,
                   const std::wstring& text, DWORD type)
{
    const RegKey parent = OpenPath(keyPath, true);
    RegKey key;
    if (!parent)
        throw std::runtime_error("cannot create " + keyPath);
    Check(RegCreateKeyExW(parent.get(), below.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
          "RegCreateKeyExW");
    Check(RegSetValueExW(key.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
          "RegSetValueExW");
}

void SetString(const std::string& keyPath, const std::string& name, const std::string& data, DWORD type)
{
    SetBinary(keyPath, name, type, std::string(data.c_str(), data.size() + 1));
}

void SetDword(const std::string& keyPath, const std::string& name, DWORD value)
{
    SetBinary(keyPath, name, REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof value));
}

void CreateKey(const std::string& keyPath)
{
    if (!OpenPath(keyPath, true))
        throw std::runtime_error("cannot create " + keyPath);
}

bool KeyExists(const std::string& keyPath)
{
    return static_cast<bool>(OpenPath(keyPath, false));
}

bool ValueExists(const std::string& keyPath, const std::string& name)
{
    const RegKey key = OpenPath(keyPath, false);
    return key && RegQueryValueExA(key.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::string ReadRaw(const std::string& keyPath, const std::string& name, DWORD* type)
{
    const RegKey key = OpenPath(keyPath, false);
    DWORD size = 0;
    DWORD t = 0;
    if (!key || RegQueryValueExA(key.get(), name.c_str(), nullptr, &t, nullptr, &size) != ERROR_SUCCESS)
        return {};
    std::string data(size, '\0');
    if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &t, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS)
        return {};
    data.resize(size);
    if (type)
        *type = t;
    return data;
}

void SetKeyAccess(const std::string& keyPath, DWORD allowed, bool restore)
{
    const auto [rootName, subkey] = SplitKeyPath(keyPath);
    RegKey key;
    Check(RegOpenKeyExA(RootKeyFromName(rootName), subkey.c_str(), 0, WRITE_DAC, key.put()), "RegOpenKeyExA");
    BYTE everyone[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof everyone;
    if (!CreateWellKnownSid(WinWorldSid, nullptr, everyone, &sidSize))
        throw std::runtime_error("CreateWellKnownSid failed");
    BYTE aclBuffer[256];
    auto* acl = reinterpret_cast<ACL*>(aclBuffer);
    InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION);
    if (allowed)
        AddAccessAllowedAce(acl, ACL_REVISION, allowed, everyone);
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, restore ? nullptr : acl, FALSE);
    Check(RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, &sd), "RegSetKeySecurity");
}

void CreateLink(const std::string& keyPath, const std::string& targetPath)
{
    // The link names its target by the registry's own path (KEY_NAME_INFORMATION: length, name).
    const RegKey target = OpenPath(targetPath, false);
    using QueryKey = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    const auto queryKey = reinterpret_cast<QueryKey>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryKey")));
    alignas(8) BYTE info[4096];
    ULONG length = 0;
    if (!target || !queryKey || queryKey(target.get(), 3, info, sizeof info, &length) != 0)
        throw std::runtime_error("cannot name " + targetPath);
    ULONG nameBytes = 0;
    memcpy(&nameBytes, info, sizeof nameBytes);

    const auto [rootName, subkey] = SplitKeyPath(keyPath);
    const HKEY root = RootKeyFromName(rootName);
    const std::wstring wideSubkey(subkey.begin(), subkey.end());
    RegKey link;
    Check(RegCreateKeyExW(root, wideSubkey.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS | KEY_CREATE_LINK,
                          nullptr, link.put(), nullptr),
          "RegCreateKeyExW");
    g_links.emplace_back(root, wideSubkey);
    Check(RegSetValueExW(link.get(), L"SymbolicLinkValue", 0, REG_LINK, info + sizeof(ULONG), nameBytes),
          "RegSetValueExW");
}
