// Who may change a folder, decided from its security descriptor. Wine keeps none (it makes one up
// from the Unix permissions, owned by the user), so the descriptors are built here by hand, in the
// shapes Windows gives folders (icacls of Program Files and its subfolders, the setup's own).
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <string>

#include "framework/folder_writers.h"
#include "framework/security.h"
#include "tempdir.h"

namespace {

// The self-relative descriptor of an SDDL text, as GetKernelObjectSecurity gives one.
std::string Descriptor(const char* sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ULONG size = 0;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, &size))
        return "not built: " + std::string(sddl);
    std::string bytes(static_cast<const char*>(descriptor), size);
    LocalFree(descriptor);
    return bytes;
}

const char kTrustedInstaller[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

} // namespace

TEST(FolderWriters, FoldersOnlyAdministratorsChangeAreTaken)
{
    const std::string ti = kTrustedInstaller;
    const std::string taken[] = {
        // What the setup gives a folder outside Program Files.
        "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)",
        // A folder the setup made in Program Files, as it inherits there: TrustedInstaller, SYSTEM
        // and Administrators full, CREATOR OWNER full on what is made inside, Users and app
        // packages read and execute.
        "O:BAD:AI(A;ID;FA;;;" + ti + ")(A;CIIOID;GA;;;" + ti +
            ")(A;ID;FA;;;SY)(A;OICIIOID;GA;;;SY)(A;ID;FA;;;BA)(A;OICIIOID;GA;;;BA)(A;ID;0x1200a9;;;BU)"
            "(A;OICIIOID;GXGR;;;BU)(A;OICIIOID;GA;;;CO)(A;ID;0x1200a9;;;AC)(A;OICIIOID;GXGR;;;AC)",
        // Program Files itself, owned by TrustedInstaller.
        "O:" + ti + "D:PAI(A;;FA;;;" + ti + ")(A;;0x1301bf;;;SY)(A;;0x1301bf;;;BA)(A;;0x1200a9;;;BU)",
        // Owned by SYSTEM; others may read, list, and are denied writing; OWNER RIGHTS full.
        "O:SYD:P(D;OICI;FW;;;WD)(A;OICI;FA;;;SY)(A;OICI;FR;;;WD)(A;;FA;;;OW)(A;OICI;0x1200a9;;;AU)",
    };
    for (const std::string& sddl : taken) {
        std::string why;
        EXPECT_TRUE(OnlyAdministratorsCanChange(Descriptor(sddl.c_str()), why)) << sddl << ": " << why;
    }
}

TEST(FolderWriters, FoldersOthersMayChangeAreRefusedWithTheReason)
{
    const struct {
        const char* sddl;
        const char* why;
    } refused[] = {
        // A folder a user made (unpacked there from a zip): owner and full control the user's.
        {"O:S-1-5-21-1-2-3-1001D:AI(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICIID;FA;;;S-1-5-21-1-2-3-1001)",
         "its owner is S-1-5-21-1-2-3-1001"},
        // A folder below C:\ as it inherits there: authenticated users may add and change.
        {"O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)(A;ID;0x1301bf;;;AU)"
         "(A;OICIIOID;SDGXGWGR;;;AU)",
         "S-1-5-11 may change it"},
        {"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;BU)", "S-1-5-32-545 may change it"},
        // Adding a file (or a folder) alone is enough to plant a DLL.
        {"O:BAD:P(A;OICI;FA;;;BA)(A;;0x2;;;WD)", "S-1-1-0 may change it"},
        {"O:BAD:P(A;OICI;FA;;;BA)(A;;0x4;;;WD)", "S-1-1-0 may change it"},
        // Deleting what is in it, or changing its permissions or owner.
        {"O:BAD:P(A;OICI;FA;;;BA)(A;;0x40;;;BU)", "S-1-5-32-545 may change it"},
        {"O:BAD:P(A;OICI;FA;;;BA)(A;;WD;;;BU)", "S-1-5-32-545 may change it"},
        {"O:BAD:P(A;OICI;FA;;;BA)(A;;WO;;;BU)", "S-1-5-32-545 may change it"},
        // Rights only for what is made inside later count too, but for CREATOR OWNER.
        {"O:BAD:P(A;OICI;FA;;;BA)(A;OICIIO;GW;;;BU)", "S-1-5-32-545 may change it"},
        {"O:BAD:P(A;OICI;FA;;;BA)(A;OICIIO;GA;;;CG)", "S-1-3-1 may change it"},
        // No DACL at all, and no owner.
        {"O:BA", "it has no permissions, so everyone may change it"},
        {"D:P(A;OICI;FA;;;BA)", "it has no owner"},
    };
    for (const auto& r : refused) {
        std::string why;
        EXPECT_FALSE(OnlyAdministratorsCanChange(Descriptor(r.sddl), why)) << r.sddl;
        EXPECT_EQ(why, r.why) << r.sddl;
    }

    // A null DACL (present, at offset 0) gives everyone every right. (Built by hand: Wine's SDDL
    // reader makes an empty DACL of NO_ACCESS_CONTROL.)
    std::string nullDacl = Descriptor("O:BAD:P(A;;FA;;;BA)");
    nullDacl[16] = nullDacl[17] = nullDacl[18] = nullDacl[19] = 0;
    {
        std::string why;
        EXPECT_FALSE(OnlyAdministratorsCanChange(nullDacl, why));
        EXPECT_EQ(why, "it has no permissions, so everyone may change it");
    }

    // An entry of an unknown kind, and descriptors cut short anywhere, are never taken.
    std::string unknown = Descriptor("O:BAD:P(A;OICI;FA;;;BA)(A;;FR;;;BU)");
    const size_t dacl = static_cast<uint8_t>(unknown[16]) | static_cast<uint8_t>(unknown[17]) << 8;
    const size_t firstSize = static_cast<uint8_t>(unknown[dacl + 8 + 2]);
    unknown[dacl + 8 + firstSize] = 0x30;
    std::string why;
    EXPECT_FALSE(OnlyAdministratorsCanChange(unknown, why));
    EXPECT_EQ(why, "its permissions hold an entry of a kind this program does not know");
    const std::string whole = Descriptor("O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
    ASSERT_TRUE(OnlyAdministratorsCanChange(whole, why)) << why;
    for (size_t size = 0; size < whole.size(); ++size)
        EXPECT_FALSE(OnlyAdministratorsCanChange(whole.substr(0, size), why)) << size;
    EXPECT_EQ(SidText(std::string("\x01\x02\x00\x00\x00\x00\x00\x05\x20\x00\x00\x00\x20\x02\x00\x00", 16)),
              "S-1-5-32-544");
}

TEST(FolderWriters, OnlyPlainFoldersAreJudged)
{
    // Wine keeps no descriptors, so a plain folder is taken here; a file is no folder anywhere.
    TempDir dir;
    const std::string file = dir.WriteFile("file.txt", "x");
    std::string why;
    EXPECT_FALSE(IsAdministratorsOnlyFolder(file, why));
    EXPECT_EQ(why, "it is no plain folder but a link or a file");
    EXPECT_FALSE(IsAdministratorsOnlyFolder(dir / "missing", why));
    EXPECT_TRUE(IsAdministratorsOnlyFolder(dir.Path(), why)) << why;
}
