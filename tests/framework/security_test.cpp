// The permissions of the folders the program makes for itself, and of the folder the setup gives an
// installation outside Program Files. Wine keeps no security descriptor of a file (it makes one up
// from the Unix permissions), so the descriptors are checked as they are built.
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "framework/security.h"

namespace {

constexpr DWORD kChanges = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                           FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

bool Is(PSID sid, WELL_KNOWN_SID_TYPE type)
{
    BYTE known[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof known;
    return CreateWellKnownSid(type, nullptr, known, &size) && EqualSid(sid, known);
}

std::string SidText(PSID sid)
{
    char* text = nullptr;
    if (!ConvertSidToStringSidA(sid, &text))
        return "?";
    std::string copy = text;
    LocalFree(text);
    return copy;
}

// What the descriptor lets others do: empty when only SYSTEM and the Administrators may change
// anything, Users may read and execute when readers is set, nobody else is named, and nothing is
// inherited from the parent.
std::string Objections(PSECURITY_DESCRIPTOR descriptor, bool readers)
{
    std::string objections;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorControl(descriptor, &control, &revision) ||
        !GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present || !dacl)
        return "no DACL";
    if (!(control & SE_DACL_PROTECTED))
        objections += "inherits from its parent; ";
    bool usersRead = false;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&header)))
            return "unreadable entry";
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            objections += "an entry that is no grant; ";
            continue;
        }
        auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        PSID sid = &ace->SidStart;
        if (Is(sid, WinLocalSystemSid) || Is(sid, WinBuiltinAdministratorsSid))
            continue;
        if (Is(sid, WinBuiltinUsersSid) && readers && !(ace->Mask & kChanges) &&
            (ace->Mask & (FILE_READ_DATA | FILE_EXECUTE)) == (FILE_READ_DATA | FILE_EXECUTE)) {
            usersRead = true;
            continue;
        }
        objections += SidText(sid) + " may " + ((ace->Mask & kChanges) ? "change it; " : "read it; ");
    }
    if (readers && !usersRead)
        objections += "Users cannot read it; ";
    PSID owner = nullptr;
    if (GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) && owner && !Is(owner, WinBuiltinAdministratorsSid))
        objections += "owned by " + SidText(owner) + "; ";
    return objections;
}

std::string SetupDescriptor()
{
    // Wine maps the Unix root to drive Z:.
    std::ifstream script("Z:" HIVORA_SOURCE_DIR "/installer/hivora.nsi");
    std::stringstream text;
    text << script.rdbuf();
    std::smatch match;
    const std::string all = text.str();
    return std::regex_search(all, match, std::regex("!define FOLDER_SDDL \"([^\"]*)\"")) ? match[1].str() : "";
}

} // namespace

TEST(FolderSecurity, OnlyAdministratorsMayChangeTheProgramsFolders)
{
    const SecurityDescriptor logs = BuildFolderSecurity(FA_USERS_READ_EXECUTE);
    ASSERT_TRUE(logs);
    EXPECT_EQ(Objections(logs.get(), true), "");
    const SecurityDescriptor updates = BuildFolderSecurity(FA_ADMINS_ONLY);
    ASSERT_TRUE(updates);
    EXPECT_EQ(Objections(updates.get(), false), "");

    // The setup's folder outside Program Files, with its owner.
    const std::string sddl = SetupDescriptor();
    ASSERT_FALSE(sddl.empty());
    PSECURITY_DESCRIPTOR setup = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &setup, nullptr));
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    EXPECT_TRUE(GetSecurityDescriptorOwner(setup, &owner, &defaulted) && owner);
    EXPECT_EQ(Objections(setup, true), "") << sddl;
    LocalFree(setup);

    // The checks catch what they are for.
    PSECURITY_DESCRIPTOR loose = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
        "D:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;BU)", SDDL_REVISION_1, &loose, nullptr));
    EXPECT_EQ(Objections(loose, true), "inherits from its parent; S-1-5-32-545 may change it; Users cannot read it; ");
    LocalFree(loose);
}

TEST(FolderSecurity, AFolderIsMadeOnceAndNeverTakenOver)
{
    char base[MAX_PATH];
    ASSERT_NE(GetTempPathA(sizeof base, base), 0u);
    const std::string folder = std::string(base) + "hivora-security-test-" + std::to_string(GetCurrentProcessId());
    RemoveDirectoryA(folder.c_str());
    EXPECT_TRUE(CreateProtectedFolder(folder, FA_ADMINS_ONLY));
    EXPECT_FALSE(CreateProtectedFolder(folder, FA_ADMINS_ONLY));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(RemoveDirectoryA(folder.c_str()));
}
