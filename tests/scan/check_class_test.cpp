#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/format.h"
#include "path_recorder.h"
#include "problems.h"
#include "sandbox.h"
#include "scan/checks.h"
#include "scan/class_index.h"
#include "scan/scanner.h"
#include "scan/tree_walk.h"
#include "scope_guard.h"
#include "tempdir.h"

namespace {

const std::string HKCR = "HKEY_CLASSES_ROOT\\";
// The 32-bit view of the classes root as 64-bit code sees it: the test prefixes are 64-bit only, so
// 32-bit registrations are written there directly.
const std::string HKCR32 = HKCR + "Wow6432Node\\";

// A file that exists only in the 32-bit system folder (SysWOW64), and the name a 32-bit program
// gives it: the System32 path. Removed again when the test ends.
class ThirtyTwoBitSystemFile {
public:
    explicit ThirtyTwoBitSystemFile(const std::string& extension)
    {
        char windows[MAX_PATH];
        char wow64[MAX_PATH];
        EXPECT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
        EXPECT_GT(GetSystemWow64DirectoryA(wow64, MAX_PATH), 0u);
        const std::string name = "hvwow" + std::to_string(GetCurrentProcessId()) + extension;
        m_real = std::string(wow64) + "\\" + name;
        m_seen = std::string(windows) + "\\System32\\" + name;
        CloseHandle(CreateFileA(m_real.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        EXPECT_NE(GetFileAttributesA(m_real.c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(GetFileAttributesA(m_seen.c_str()), INVALID_FILE_ATTRIBUTES);
    }
    ~ThirtyTwoBitSystemFile() { DeleteFileA(m_real.c_str()); }
    ThirtyTwoBitSystemFile(const ThirtyTwoBitSystemFile&) = delete;
    ThirtyTwoBitSystemFile& operator=(const ThirtyTwoBitSystemFile&) = delete;

    // The System32 path a 32-bit registration names it by.
    const std::string& Seen() const { return m_seen; }

private:
    std::string m_real;
    std::string m_seen;
};

class ClassChecks : public testing::Test {
protected:
    void SetUp() override { g_arrProblems.clear(); }
    void TearDown() override { g_arrProblems.clear(); }

    void SetDefault(const std::string& subkey, const std::string& data) { SetString(HKCR + subkey, "", data); }

    RegistrySandbox m_sandbox;
    TempDir m_dir;
    CRegistryScanner m_engine;
};

TEST_F(ClassChecks, ServerFilesAreTestedWithoutArgumentsAndOnlyOnDrivePaths)
{
    const std::string present = m_dir.WriteFile("hvserver.dll");
    const std::string icon = m_dir.WriteFile("hvpicture.ico");
    const std::string gone = m_dir / "hvgone.dll";
    const std::string cls = "{11111111-2222-3333-4444-555555555501}";
    SetDefault("CLSID\\" + cls + "\\InprocServer32", gone);
    SetDefault("CLSID\\" + cls + "\\LocalServer32", "hvabsentprogram.exe /automation");
    SetDefault("CLSID\\" + cls + "\\PersistentHandler", "{11111111-2222-3333-4444-555555555599}");
    SetDefault("CLSID\\" + cls + "\\DefaultIcon", m_dir / "hvlost.ico" + ",-3");

    const std::string fine = "{11111111-2222-3333-4444-555555555502}";
    SetDefault("CLSID\\" + fine + "\\InprocServer32", "\"" + present + "\",3");
    SetDefault("CLSID\\" + fine + "\\DefaultIcon", icon + ",3");
    SetDefault("CLSID\\" + fine + "\\InprocHandler32", "ole32.dll");

    CheckComActiveX(m_engine);

    const std::vector<Found> expected = {
        {HKCR + "CLSID\\" + cls + "\\InprocServer32", "(Default)", gone, RPT_COM_ACTIVEX},
        {HKCR + "CLSID\\" + cls + "\\DefaultIcon", "(Default)", m_dir / "hvlost.ico", RPT_COM_ACTIVEX},
    };
    EXPECT_EQ(Problems(), expected);
    EXPECT_EQ(m_engine.Found(RPT_COM_ACTIVEX), 2);
}

TEST_F(ClassChecks, ServerValuesReadIntoAThousandAndTwentyThreeBytes)
{
    // 1022 characters and the terminator fit; one character more does not and is never read.
    const std::string fits = "C:\\" + std::string(1019, 'f');
    const std::string tooLong = "C:\\" + std::string(1020, 'g');
    SetDefault("CLSID\\{11111111-2222-3333-4444-555555555503}\\InprocServer32", fits);
    SetDefault("CLSID\\{11111111-2222-3333-4444-555555555504}\\InprocServer32", tooLong);

    CheckComActiveX(m_engine);

    ASSERT_EQ(g_arrProblems.size(), 1u);
    EXPECT_EQ(g_arrProblems[0]->m_strData, fits);
}

TEST_F(ClassChecks, ApplicationIdentifiersMustBeRegistered)
{
    SetString(HKCR + "CLSID\\{11111111-2222-3333-4444-555555555505}", "AppID",
              "{11111111-2222-3333-4444-5555555555A5}");
    SetString(HKCR + "CLSID\\{11111111-2222-3333-4444-555555555506}", "AppID",
              "{11111111-2222-3333-4444-5555555555A6}");
    CreateKey(HKCR + "AppID\\{11111111-2222-3333-4444-5555555555A6}");
    SetString(HKCR + "AppID\\hvtool.exe", "AppID", "{11111111-2222-3333-4444-5555555555A7}");
    SetString(HKCR + "AppID\\hvother.exe", "AppID", "{11111111-2222-3333-4444-5555555555A6}");
    // Names in braces are identifiers themselves and are not followed.
    SetString(HKCR + "AppID\\{11111111-2222-3333-4444-5555555555A8}", "AppID",
              "{11111111-2222-3333-4444-5555555555A9}");

    CheckComActiveX(m_engine);

    const std::vector<Found> expected = {
        {HKCR + "CLSID\\{11111111-2222-3333-4444-555555555505}", "AppID", "{11111111-2222-3333-4444-5555555555A5}",
         RPT_COM_ACTIVEX},
        {HKCR + "AppID\\hvtool.exe", "AppID", "{11111111-2222-3333-4444-5555555555A7}", RPT_COM_ACTIVEX},
    };
    EXPECT_EQ(Problems(), expected);
}

// System-owned class keys refuse writing on current Windows: they exist all the same.
TEST_F(ClassChecks, KeysThatRefuseWritingExist)
{
    const std::string appId = "{11111111-2222-3333-4444-5555555555C1}";
    const std::string cls = "{11111111-2222-3333-4444-5555555555C2}";
    SetString(HKCR + "CLSID\\{11111111-2222-3333-4444-5555555555C3}", "AppID", appId);
    SetString(HKCR + "AppID\\hvlocked.exe", "AppID", appId);
    SetDefault("HvLocked.Widget\\CLSID", cls);
    CreateKey(HKCR + "AppID\\" + appId);
    CreateKey(HKCR + "CLSID\\" + cls);
    SetKeyAccess(HKCR + "AppID\\" + appId, KEY_READ);
    SetKeyAccess(HKCR + "CLSID\\" + cls, 0);

    CheckComActiveX(m_engine);
    SetKeyAccess(HKCR + "AppID\\" + appId, 0, true);
    SetKeyAccess(HKCR + "CLSID\\" + cls, 0, true);

    EXPECT_EQ(Problems(), std::vector<Found>{});
}

TEST_F(ClassChecks, ClassReferencesCarryTheBracedDefaultName)
{
    SetDefault("HvSample.Widget\\CLSID", "{11111111-2222-3333-4444-5555555555B1}");
    SetDefault("HvSample.Gadget\\CLSID", "{11111111-2222-3333-4444-5555555555B2}");
    CreateKey(HKCR + "CLSID\\{11111111-2222-3333-4444-5555555555B2}");

    CheckComActiveX(m_engine);

    const std::vector<Found> expected = {
        {HKCR + "HvSample.Widget\\CLSID", "{Default}", "{11111111-2222-3333-4444-5555555555B1}", RPT_COM_ACTIVEX},
    };
    EXPECT_EQ(Problems(), expected);
}

// On 64-bit Windows a 32-bit program's classes live only in the 32-bit view, while the programmatic
// identifiers naming them are shared: an identifier either view holds is registered.
TEST_F(ClassChecks, IdentifiersOfEitherRegistryViewAreRegistered)
{
    const std::string cls32 = "{11111111-2222-3333-4444-555555555A01}";
    const std::string clsGone = "{11111111-2222-3333-4444-555555555A02}";
    const std::string appId32 = "{11111111-2222-3333-4444-555555555A03}";
    const std::string appIdGone = "{11111111-2222-3333-4444-555555555A04}";
    SetDefault("HvOffice.Application\\CLSID", cls32);
    SetString(HKCR32 + "CLSID\\" + cls32 + "\\LocalServer32", "", "C:\\hvoffice\\office.exe /automation");
    SetDefault("HvGone.Application\\CLSID", clsGone);
    SetString(HKCR + "CLSID\\{11111111-2222-3333-4444-555555555A05}", "AppID", appId32);
    SetString(HKCR + "CLSID\\{11111111-2222-3333-4444-555555555A06}", "AppID", appIdGone);
    CreateKey(HKCR32 + "AppID\\" + appId32);
    SetString(HKCR + "AppID\\hvoffice.exe", "AppID", appId32);
    SetString(HKCR + "AppID\\hvgone.exe", "AppID", appIdGone);

    CheckComActiveX(m_engine);

    const std::vector<Found> expected = {
        {HKCR + "CLSID\\{11111111-2222-3333-4444-555555555A06}", "AppID", appIdGone, RPT_COM_ACTIVEX},
        {HKCR + "AppID\\hvgone.exe", "AppID", appIdGone, RPT_COM_ACTIVEX},
        {HKCR + "HvGone.Application\\CLSID", "{Default}", clsGone, RPT_COM_ACTIVEX},
    };
    EXPECT_EQ(Problems(), expected);
}

// A type library's win32 entry names its file as a 32-bit program does: System32 is SysWOW64 to it.
TEST_F(ClassChecks, TypeLibraryWin32FilesAreSeenAsThirtyTwoBitProgramsSeeThem)
{
    const ThirtyTwoBitSystemFile library(".tlb");
    const std::string gone = library.Seen().substr(0, library.Seen().size() - 4) + "gone.tlb";
    const std::string base = HKCR + "TypeLib\\{11111111-2222-3333-4444-555555555A11}\\1.0\\";
    SetString(base + "0\\win32", "", library.Seen());
    SetString(base + "9\\win32", "", gone);

    CheckComActiveX(m_engine);

    EXPECT_EQ(Problems(), (std::vector<Found>{{base + "9\\win32", "(Default)", gone, RPT_COM_ACTIVEX}}));
}

TEST_F(ClassChecks, TypeLibraryProblemsNameTheirOwnVersion)
{
    const std::string lib = "{11111111-2222-3333-4444-5555555555C1}";
    const std::string base = HKCR + "TypeLib\\" + lib;
    SetString(base + "\\1.0\\0\\win32", "", m_dir / "hvold.tlb");
    SetString(base + "\\1.0\\FLAGS", "", "0");
    SetString(base + "\\2.0\\0\\win32", "", m_dir / "hvnew.tlb");
    SetString(base + "\\2.0\\9\\win32", "", m_dir.WriteFile("hvthere.tlb"));
    SetString(base + "\\2.0\\0\\win64", "", m_dir / "hvwide.tlb");
    SetString(base + "\\3.0\\0\\win32", "", "hvbare.tlb");

    CheckComActiveX(m_engine);

    const std::vector<Found> expected = {
        {base + "\\1.0\\0\\win32", "(Default)", m_dir / "hvold.tlb", RPT_COM_ACTIVEX},
        {base + "\\2.0\\0\\win32", "(Default)", m_dir / "hvnew.tlb", RPT_COM_ACTIVEX},
    };
    EXPECT_EQ(Problems(), expected);
}

TEST_F(ClassChecks, FirstPathIsTheFirstServerEntry)
{
    const std::string cls = "{11111111-2222-3333-4444-5555555555D1}";
    CreateKey(HKCR + "CLSID\\" + cls);

    PathRecorder recorder;
    m_engine.SendNotificationsTo(recorder.Window());
    CheckComActiveX(m_engine);

    EXPECT_EQ(recorder.First(), "CLSID\\" + cls + "\\InprocServer32");
}

TEST_F(ClassChecks, StopEndsEveryPassBeforeItsFirstItem)
{
    SetDefault("CLSID\\{11111111-2222-3333-4444-5555555555E1}\\InprocServer32", m_dir / "hvgone.dll");
    SetDefault("HvSample.Widget\\CLSID", "{11111111-2222-3333-4444-5555555555E2}");
    SetDefault("CLSID\\{11111111-2222-3333-4444-5555555555E2}\\InprocServer32", m_dir / "hvgone.dll");

    PathRecorder recorder;
    m_engine.SendNotificationsTo(recorder.Window());
    m_engine.RequestStop();
    CheckComActiveX(m_engine);
    CheckClassKeys(m_engine);
    CheckTypeLibraries(m_engine);

    EXPECT_TRUE(g_arrProblems.empty());
    EXPECT_TRUE(recorder.Paths().empty());
}

// The index a shared walk fills answers only what it read whole: a key it could not open, a link, a
// value too long to read, a name it cannot compare and whatever the user's own classes hold are
// left to the check.
TEST_F(ClassChecks, ClassIndexAnswersOnlyWhatTheWalkReadWhole)
{
    const std::string a = "{11111111-2222-3333-4444-555555555B01}";
    const std::string b = "{11111111-2222-3333-4444-555555555B02}";
    const std::string locked = "{11111111-2222-3333-4444-555555555B03}";
    const std::string tooLong = "{11111111-2222-3333-4444-555555555B04}";
    const std::string odd = "{11111111-2222-3333-4444-555555555B05}";
    const std::string link = "{11111111-2222-3333-4444-555555555B06}";
    const std::string user = "{11111111-2222-3333-4444-555555555B07}";
    const std::string appId = "{11111111-2222-3333-4444-555555555BA1}";
    SetDefault("CLSID\\" + a + "\\InprocServer32", "C:\\hv\\a.dll");
    CreateKey(HKCR + "CLSID\\" + a + "\\DefaultIcon");
    SetString(HKCR + "CLSID\\" + a, "AppID", appId);
    SetDefault("CLSID\\" + b + "\\inprocserver32", "b.dll");
    SetString(HKCR + "CLSID\\" + b, "APPID", "");
    SetDefault("CLSID\\" + locked + "\\InprocServer32", "C:\\hv\\locked.dll");
    SetKeyAccess(HKCR + "CLSID\\" + locked, 0);
    const ScopeGuard unlock([&] { SetKeyAccess(HKCR + "CLSID\\" + locked, 0, true); });
    SetDefault("CLSID\\" + tooLong + "\\InprocServer32", "C:\\" + std::string(1020, 'g'));
    SetDefault("CLSID\\" + odd + "\\DefaultIcon", "C:\\hv\\odd.ico");
    SetWideString(HKCR + "CLSID\\" + odd, L"\x4E2D", L"", L"x");
    CreateLink(HKCR + "CLSID\\" + link, HKCR + "CLSID\\" + a);
    SetDefault("CLSID\\" + user + "\\InprocServer32", "C:\\hv\\user.dll");
    CreateKey("HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\" + user);
    CreateKey(HKCR + "AppID\\" + appId);
    SetDefault("HvIndex.Named\\CLSID", a);
    CreateKey(HKCR + "HvIndex.Plain\\shell\\print\\command");
    SetDefault(".hvidx", "HvIndex.Plain");
    SetDefault("HvIndex.Named\\SHELL\\open\\command", "hv.exe \"%1\"");
    SetDefault("HvIndex.User\\CLSID", b);
    CreateKey("HKEY_CURRENT_USER\\Software\\Classes\\HvIndex.User");

    CClassIndex index;
    CClassIndex::CFiller filler(index);
    WalkTrees(m_engine, {&filler});
    using KNOWN = CClassIndex::KNOWN;
    const auto state = [](const KNOWN& text) { return text.state; };
    // Nothing is certain before the user's classes are known.
    EXPECT_EQ(state(index.ServerEntry(a.c_str(), 0)), KNOWN::UNKNOWN);
    index.ReadUserClasses();

    EXPECT_EQ(state(index.ServerEntry(a.c_str(), 0)), KNOWN::READ);
    EXPECT_EQ(index.ServerEntry(a.c_str(), 0).text, "C:\\hv\\a.dll");
    EXPECT_EQ(state(index.ServerEntry(a.c_str(), 2)), KNOWN::NONE); // no LocalServer32 key
    EXPECT_EQ(state(index.ServerEntry(a.c_str(), 7)), KNOWN::NONE); // DefaultIcon without a default value
    EXPECT_EQ(index.ClassAppId(a.c_str()).text, appId);
    // Names as the registry compares them.
    EXPECT_EQ(index.ServerEntry(b.c_str(), 0).text, "b.dll");
    EXPECT_EQ(state(index.ClassAppId(b.c_str())), KNOWN::READ);
    EXPECT_EQ(state(index.ClassAppId("{11111111-2222-3333-4444-555555555b01}")), KNOWN::READ);
    for (const std::string& unsure : {locked, tooLong, odd, link, user})
        EXPECT_EQ(state(index.ServerEntry(unsure.c_str(), 0)), KNOWN::UNKNOWN) << unsure;
    // Its DefaultIcon was met, and read.
    EXPECT_EQ(index.ServerEntry(odd.c_str(), 7).text, "C:\\hv\\odd.ico");

    EXPECT_EQ(index.NamedClass("HvIndex.Named").text, a);
    EXPECT_EQ(state(index.NamedClass("HVINDEX.PLAIN")), KNOWN::NONE);
    EXPECT_EQ(state(index.NamedClass("HvIndex.User")), KNOWN::UNKNOWN);
    EXPECT_EQ(state(index.NamedClass("HvIndex.Absent")), KNOWN::UNKNOWN);

    EXPECT_EQ(index.ExtensionType(".hvidx").text, "HvIndex.Plain");
    EXPECT_EQ(state(index.OpenCommand("HvIndex.Plain")), KNOWN::NONE); // shell without open
    EXPECT_EQ(index.OpenCommand("HvIndex.Named").text, "hv.exe \"%1\"");

    EXPECT_TRUE(index.HasClass(locked));
    EXPECT_TRUE(index.HasAppId("{11111111-2222-3333-4444-555555555ba1}"));
    EXPECT_FALSE(index.HasClass("{11111111-2222-3333-4444-555555555BFF}"));
    EXPECT_FALSE(index.HasClass(a + "\\InprocServer32"));
}

// With the file path references selected, COM/ActiveX runs the shared walk and reads the classes
// from it, as do the file associations, invalid class keys and type libraries in their turn: each
// category reports exactly what its check reports alone.
TEST_F(ClassChecks, SharedWalkReportsExactlyWhatTheClassChecksReportAlone)
{
    const std::string gone = m_dir / "hvgone.dll";
    const std::string present = m_dir.WriteFile("hvhere.dll");
    const std::string appId = "{11111111-2222-3333-4444-555555555CA1}";
    const auto cls = [](int i) { return Format("{11111111-2222-3333-4444-55555555%04d}", i); };
    SetDefault("CLSID\\" + cls(1) + "\\InprocServer32", gone);
    SetDefault("CLSID\\" + cls(1) + "\\DefaultIcon", present + ",2");
    SetString(HKCR + "CLSID\\" + cls(1), "AppID", appId);
    SetDefault("CLSID\\" + cls(2) + "\\localserver32", "\"" + gone + ".exe\" /automation");
    SetString(HKCR + "CLSID\\" + cls(2), "appid", "{11111111-2222-3333-4444-555555555CA2}");
    SetDefault("CLSID\\" + cls(3) + "\\InprocServer32", "C:\\" + std::string(1019, 'f'));
    SetDefault("CLSID\\" + cls(4) + "\\InprocServer32", gone);
    SetKeyAccess(HKCR + "CLSID\\" + cls(4) + "\\InprocServer32", KEY_READ);
    const ScopeGuard unlock([&] { SetKeyAccess(HKCR + "CLSID\\" + cls(4) + "\\InprocServer32", 0, true); });
    CreateLink(HKCR + "CLSID\\" + cls(5), HKCR + "CLSID\\" + cls(1));
    SetDefault("CLSID\\" + cls(6) + "\\DefaultIcon", gone);
    SetDefault("CLSID\\" + cls(7) + "\\InprocServer32", present);
    CreateKey(HKCR + "AppID\\" + appId);
    SetString(HKCR + "AppID\\hvshared.exe", "AppID", "{11111111-2222-3333-4444-555555555CA3}");
    // Identifiers: a missing class, broken and working servers, a link.
    SetDefault("HvShared.Missing\\CLSID", cls(99));
    SetDefault("HvShared.Broken\\CLSID", cls(1));
    SetDefault("HvShared.Control\\CLSID", cls(2));
    SetDefault("HvShared.Ocx\\CLSID", cls(8));
    SetDefault("CLSID\\" + cls(8) + "\\InprocServer32", m_dir / "hvgone.ocx");
    SetDefault("HvShared.Working\\clsid", cls(7));
    SetDefault("HvShared.Empty\\CLSID", "");
    CreateLink(HKCR + "HvShared.Linked", HKCR + "HvShared.Broken");
    SetDefault("HvShared.Users\\CLSID", cls(1));
    // Extensions: a missing and a present program, no command, no type, a type that is a path.
    SetDefault(".hvgone", "hvgone.file");
    SetDefault("hvgone.file\\shell\\open\\command", "\"" + m_dir / "hvgone.exe" + "\" \"%1\"");
    SetDefault(".hvhere", "hvhere.file");
    SetDefault("hvhere.file\\Shell\\Open\\Command", present);
    SetDefault(".hvnocommand", "hvnocommand.file");
    CreateKey(HKCR + "hvnocommand.file\\shell\\edit\\command");
    CreateKey(HKCR + ".hvnotype\\OpenWithList");
    SetDefault(".hvpath", "hvgone.file\\shell");
    SetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\HvShared", "Tool", gone);
    CreateKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\HvShared\\Sub");

    const REGPROBLEM_TYPE types[] = {RPT_COM_ACTIVEX, RPT_FILE_PATHS, RPT_FILE_ASSOC, RPT_CLASS_KEYS, RPT_TYPE_LIBS};
    std::vector<Found> alone[kCategoryCount];
    for (const REGPROBLEM_TYPE type : types) {
        g_arrProblems.clear();
        CRegistryScanner engine;
        RunCategoryCheck(engine, type);
        alone[type] = Problems();
    }
    // Met as the checks read them: through links, under lower-case names, to the last byte they
    // read; not where the repair could not write.
    EXPECT_EQ(alone[RPT_COM_ACTIVEX].size(), 9u);
    EXPECT_EQ(alone[RPT_COM_ACTIVEX][3].key, HKCR + "CLSID\\" + cls(5) + "\\InprocServer32");
    EXPECT_EQ(alone[RPT_FILE_ASSOC].size(), 1u);
    EXPECT_EQ(alone[RPT_CLASS_KEYS].size(), 3u);
    EXPECT_EQ(alone[RPT_TYPE_LIBS].size(), 1u);
    ASSERT_FALSE(alone[RPT_FILE_PATHS].empty());

    uint8_t selected[kCategoryCount] = {};
    for (const REGPROBLEM_TYPE type : types)
        selected[type] = 1;
    // Without classes of the user's, the classes root is the machine's key: its names come from the
    // walk as well. With them, the user's keys are read from the registry.
    for (const bool userClasses : {false, true}) {
        if (userClasses) {
            CreateKey("HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\" + cls(6));
            CreateKey("HKEY_CURRENT_USER\\Software\\Classes\\HvShared.Broken");
        }
        CRegistryScanner shared;
        shared.SetCategorySelection(selected);
        for (const REGPROBLEM_TYPE type : types) {
            g_arrProblems.clear();
            RunCategoryCheck(shared, type);
            EXPECT_EQ(Problems(), alone[type])
                << CategoryInfo(type).pszLogName << (userClasses ? " (user's classes)" : "");
        }
    }
}

// The walk lists the names of the classes root and of its CLSID key as the checks list them there:
// names the code page cannot hold passed over. (A name too long for the checks' buffer, which ends
// their list, needs a multi-byte code page.)
TEST_F(ClassChecks, WalkedNamesAreTheClassesRootsOwnWhileTheUserHasNoClasses)
{
    const std::string clsid = "CLSID\\{11111111-2222-3333-4444-555555555D0";
    CreateKey(HKCR + clsid + "1}");
    SetWideString(HKCR + clsid + "2}", L"", L"", L"x");
    SetWideString(HKCR + "CLSID", L"{\x4E2D}", L"", L"x");
    CreateKey(HKCR + clsid + "3}");
    CreateKey(HKCR + "HvWalked.Name");
    const auto listed = [](HKEY key) {
        std::vector<std::string> names;
        WalkSubkeys(key, kShortNameChars, [&](const char* name) {
            names.emplace_back(name);
            return true;
        });
        return names;
    };
    const RegKey clsidKey = OpenKey(HKEY_CLASSES_ROOT, "CLSID");
    ASSERT_TRUE(clsidKey);
    const std::vector<std::string> classes = listed(clsidKey.get());
    ASSERT_EQ(classes.size(), 3u);

    const auto walked = [&] {
        auto index = std::make_unique<CClassIndex>();
        CClassIndex::CFiller filler(*index);
        WalkTrees(m_engine, {&filler});
        index->ReadUserClasses();
        return index;
    };
    auto index = walked();
    ASSERT_TRUE(index->WalkedClasses());
    EXPECT_EQ(*index->WalkedClasses(), classes);
    ASSERT_TRUE(index->WalkedTopNames());
    EXPECT_EQ(*index->WalkedTopNames(), listed(HKEY_CLASSES_ROOT));

    CreateKey("HKEY_CURRENT_USER\\Software\\Classes\\HvUser.Name");
    index = walked();
    EXPECT_TRUE(index->WalkedClasses());
    EXPECT_FALSE(index->WalkedTopNames());
    CreateKey("HKEY_CURRENT_USER\\Software\\Classes\\CLSID");
    EXPECT_FALSE(walked()->WalkedClasses());
}

class ProgIdChecks : public ClassChecks {
protected:
    // A programmatic identifier whose class names server as its in-process server.
    void Register(const std::string& progId, const std::string& cls, const std::string& server)
    {
        SetDefault(progId + "\\CLSID", cls);
        SetDefault("CLSID\\" + cls + "\\InprocServer32", server);
    }
};

TEST_F(ProgIdChecks, LowerCaseDllServersAreClassKeysTheRestTypeLibraries)
{
    Register("HvWidget.Lower", "{11111111-2222-3333-4444-5555555555F1}", m_dir / "hvgone.dll");
    Register("HvWidget.Upper", "{11111111-2222-3333-4444-5555555555F2}", m_dir / "HVGONE.DLL");
    Register("HvWidget.Control", "{11111111-2222-3333-4444-5555555555F3}", m_dir / "hvgone.ocx");
    Register("HvWidget.Present", "{11111111-2222-3333-4444-5555555555F4}", m_dir.WriteFile("hvhere.dll"));
    Register("HvWidget.Bare", "{11111111-2222-3333-4444-5555555555F5}", "hvnowhere.dll");
    // A server named by ".dll" alone matches neither category.
    Register("HvWidget.Odd", "{11111111-2222-3333-4444-5555555555F6}", ".dll");
    SetDefault("HvWidget.NoServer\\CLSID", "{11111111-2222-3333-4444-5555555555F7}");
    CreateKey(HKCR + "CLSID\\{11111111-2222-3333-4444-5555555555F7}");
    // Extensions are not programmatic identifiers.
    SetDefault(".hvext\\CLSID", "{11111111-2222-3333-4444-5555555555F1}");

    PathRecorder recorder;
    m_engine.SendNotificationsTo(recorder.Window());
    CheckClassKeys(m_engine);
    const std::vector<Found> classKeys = {
        {HKCR + "HvWidget.Lower\\CLSID", "(Default)", "{11111111-2222-3333-4444-5555555555F1}", RPT_CLASS_KEYS},
    };
    EXPECT_EQ(Problems(), classKeys);
    // ".hvext" comes first but is passed over.
    EXPECT_EQ(recorder.First(), "CLSID\\CLSID");

    g_arrProblems.clear();
    CheckTypeLibraries(m_engine);
    const std::vector<Found> typeLibs = {
        {HKCR + "HvWidget.Control\\CLSID", "(Default)", "{11111111-2222-3333-4444-5555555555F3}", RPT_TYPE_LIBS},
        {HKCR + "HvWidget.Upper\\CLSID", "(Default)", "{11111111-2222-3333-4444-5555555555F2}", RPT_TYPE_LIBS},
    };
    EXPECT_EQ(Problems(), typeLibs);

    // Both selected: the class key check's walk serves the type libraries too, which report what
    // they found alone in their own turn, without a walk of their own (an identifier broken since
    // is not seen).
    g_arrProblems.clear();
    uint8_t both[kCategoryCount] = {};
    both[RPT_CLASS_KEYS] = both[RPT_TYPE_LIBS] = 1;
    CRegistryScanner shared;
    shared.SetCategorySelection(both);
    RunCategoryCheck(shared, RPT_CLASS_KEYS);
    EXPECT_EQ(Problems(), classKeys);
    Register("HvWidget.Late", "{11111111-2222-3333-4444-5555555555F8}", m_dir / "hvlate.ocx");
    g_arrProblems.clear();
    RunCategoryCheck(shared, RPT_TYPE_LIBS);
    EXPECT_EQ(Problems(), typeLibs);
    EXPECT_EQ(shared.Found(RPT_TYPE_LIBS), 2);
}

// The identifier is shared by both views: its class reference is broken only when no view holding
// the class has a working server.
TEST_F(ProgIdChecks, AServerOfEitherViewKeepsTheIdentifier)
{
    const ThirtyTwoBitSystemFile server(".dll");
    const std::string gone = m_dir / "hvgone.dll";
    const auto register32 = [&](const std::string& cls, const std::string& file) {
        SetString(HKCR32 + "CLSID\\" + cls + "\\InprocServer32", "", file);
    };
    // 32-bit only, named by its System32 path: works.
    SetDefault("HvWidget.Only32\\CLSID", "{11111111-2222-3333-4444-555555555A21}");
    register32("{11111111-2222-3333-4444-555555555A21}", server.Seen());
    // Broken in the native view, working in the 32-bit view: works.
    Register("HvWidget.Either", "{11111111-2222-3333-4444-555555555A22}", gone);
    register32("{11111111-2222-3333-4444-555555555A22}", server.Seen());
    // Registered in the 32-bit view by a local server only: works.
    Register("HvWidget.Local", "{11111111-2222-3333-4444-555555555A23}", gone);
    SetString(HKCR32 + "CLSID\\{11111111-2222-3333-4444-555555555A23}\\LocalServer32", "", gone + ".exe");
    // Broken wherever it is registered: reported once.
    Register("HvWidget.Both", "{11111111-2222-3333-4444-555555555A24}", gone);
    register32("{11111111-2222-3333-4444-555555555A24}", m_dir / "hvgone32.dll");
    SetDefault("HvWidget.Broken32\\CLSID", "{11111111-2222-3333-4444-555555555A25}");
    register32("{11111111-2222-3333-4444-555555555A25}", m_dir / "hvgone32.dll");

    CheckClassKeys(m_engine);
    CheckTypeLibraries(m_engine);

    const std::vector<Found> expected = {
        {HKCR + "HvWidget.Both\\CLSID", "(Default)", "{11111111-2222-3333-4444-555555555A24}", RPT_CLASS_KEYS},
        {HKCR + "HvWidget.Broken32\\CLSID", "(Default)", "{11111111-2222-3333-4444-555555555A25}", RPT_CLASS_KEYS},
    };
    EXPECT_EQ(Problems(), expected);
}

TEST_F(ProgIdChecks, NameCutAtAnInnerExtensionIsRestored)
{
    // The engine's path rules cut "hvlib.dll2.dll" after its first ".dll"; the check puts the rest
    // of the name back before testing the file.
    const std::string whole = m_dir.WriteFile("hvlib.dll2.dll");
    Register("HvWidget.Restored", "{11111111-2222-3333-4444-555555555601}", whole);
    Register("HvWidget.Missing", "{11111111-2222-3333-4444-555555555602}", m_dir / "hvlost.dll2.dll");
    m_dir.WriteFile("hvlost.dll");

    CheckClassKeys(m_engine);

    const std::vector<Found> expected = {
        {HKCR + "HvWidget.Missing\\CLSID", "(Default)", "{11111111-2222-3333-4444-555555555602}", RPT_CLASS_KEYS},
    };
    EXPECT_EQ(Problems(), expected);
}

} // namespace
