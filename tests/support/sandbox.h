#pragma once

#include <windows.h>

#include <string>

#include "framework/handles.h"

// Gives a test an empty registry of its own: HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,
// HKEY_LOCAL_MACHINE and HKEY_USERS are redirected into a scratch key for the sandbox's lifetime,
// and the scratch key is deleted afterwards.
class RegistrySandbox {
public:
    RegistrySandbox();
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    // The scratch key's path below the real HKEY_CURRENT_USER.
    const std::string& ScratchPath() const { return m_scratch; }

private:
    std::string m_scratch;
    RegKey m_roots[4];
};

// Registry helpers for arranging a test's data. Paths are "ROOT\sub\key" with the usual root names.
void SetString(const std::string& keyPath, const std::string& name, const std::string& data,
               DWORD type = REG_SZ);
void SetDword(const std::string& keyPath, const std::string& name, DWORD value);
void SetBinary(const std::string& keyPath, const std::string& name, DWORD type, const std::string& bytes);
void CreateKey(const std::string& keyPath);
bool KeyExists(const std::string& keyPath);
bool ValueExists(const std::string& keyPath, const std::string& name);
// Sets a value through the wide calls, in keyPath\below (below may hold names outside the ANSI code
// page, or be empty); text is stored with a terminator added.
void SetWideString(const std::string& keyPath, const std::wstring& below, const std::wstring& name,
                   const std::wstring& text, DWORD type = REG_SZ);
// Gives everyone exactly the access allowed to the key (0 locks everyone out but the owner's
// right to change it back); with restore, everyone gets full access again.
void SetKeyAccess(const std::string& keyPath, DWORD allowed, bool restore = false);
// Makes keyPath a symbolic link to targetPath (which must exist), as Windows links
// SOFTWARE\Wow6432Node\Classes and a user's Software\Classes. The sandbox removes the link itself
// when it ends.
void CreateLink(const std::string& keyPath, const std::string& targetPath);
// The value's data as raw bytes (a string value keeps its terminator); empty when missing.
std::string ReadRaw(const std::string& keyPath, const std::string& name, DWORD* type = nullptr);
