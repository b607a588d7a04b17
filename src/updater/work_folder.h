#pragma once

#include <string>
#include <string_view>

#include "framework/handles.h"

// The folder of one update run, where the downloads and the install list wait for the installer.
// It lies in Patchwell's own folder (the program folder, which only administrators can change, as
// Patchwell.dll itself), is made afresh under a name no one can guess, with a DACL of SYSTEM and
// Administrators only, and is held open while in use so that it cannot be renamed or replaced.
class CWorkFolder {
public:
    // "Update-" and 32 hex digits.
    static bool IsName(std::string_view name);

    // Makes a new folder in parent (ending with a backslash); false when none could be made.
    bool Create(const std::string& parent);
    // Takes the folder of that name in parent, made by an earlier run of this process's caller:
    // only a real folder (no link) with a name of the form above.
    bool Open(const std::string& parent, const std::string& name);

    const std::string& Path() const { return m_strPath; }
    const std::string& Name() const { return m_strName; }
    std::string File(const std::string& name) const { return m_strPath + "\\" + name; }

    // Whether only SYSTEM and the Administrators may change the folder, judged through the handle
    // that holds it (IsAdministratorsOnly).
    bool IsAdministratorsOnly(std::string& why) const;

    // Lets go of the folder and deletes it with the files in it.
    void Remove();

private:
    bool Hold();

    std::string m_strPath;
    std::string m_strName;
    FileHandle m_folder;
};

// An elevated program installs into its folder what it downloaded: that folder, and the update
// folder in it (through its handle) when given, must be changeable by SYSTEM and the
// Administrators only, or a standard user could plant a DLL there that the programs load. The one
// line that refuses the update, or empty when both are so.
std::string UpdateFolderRefusal(const std::string& programFolder, const CWorkFolder* work = nullptr);
