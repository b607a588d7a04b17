#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "path_recorder.h"
#include "problems.h"
#include "sandbox.h"
#include "scan/checks.h"
#include "scan/scanner.h"
#include "tempdir.h"

namespace {

const std::string HKCR = "HKEY_CLASSES_ROOT\\";

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
    EXPECT_EQ(m_engine.m_anFound[RPT_COM_ACTIVEX], 2);
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
    m_engine.m_hNotifyWnd = recorder.Window();
    CheckComActiveX(m_engine);

    EXPECT_EQ(recorder.First(), "CLSID\\" + cls + "\\InprocServer32");
}

TEST_F(ClassChecks, StopEndsEveryPassBeforeItsFirstItem)
{
    SetDefault("CLSID\\{11111111-2222-3333-4444-5555555555E1}\\InprocServer32", m_dir / "hvgone.dll");
    SetDefault("HvSample.Widget\\CLSID", "{11111111-2222-3333-4444-5555555555E2}");
    SetDefault("CLSID\\{11111111-2222-3333-4444-5555555555E2}\\InprocServer32", m_dir / "hvgone.dll");

    PathRecorder recorder;
    m_engine.m_hNotifyWnd = recorder.Window();
    m_engine.RequestStop();
    CheckComActiveX(m_engine);
    CheckClassKeys(m_engine);
    CheckTypeLibraries(m_engine);

    EXPECT_TRUE(g_arrProblems.empty());
    EXPECT_TRUE(recorder.Paths().empty());
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
    m_engine.m_hNotifyWnd = recorder.Window();
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
