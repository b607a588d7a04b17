#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "update_fixture.h"

namespace {

using Events = std::vector<std::string>;

const char kListError[] = "status 10 Error occured while downloading info.";
const char kConnectError[] = "status 10 Unable to connect to update server ...";

class HostileList : public testing::Test {
protected:
    void SetUp() override { m_server.Reset(); }

    HOST_RUN Check(const ProgramSandbox& prog, const std::string& accept) const
    {
        return prog.RunHost({"--accept", accept, m_server.Url("/updates/updates.asp")});
    }

    UpdateServer m_server;
};

// Files outside the program folder other than the host's log and the (empty) install list.
Events Strays(const ProgramSandbox& prog)
{
    Events strays;
    for (const std::string& file : prog.AllFiles())
        if (file.rfind("prog\\", 0) != 0 && file != "host.log" && file != "temp\\updatetmp.tmp")
            strays.push_back(file);
    return strays;
}

}  // namespace

TEST_F(HostileList, TargetsOutsideTheProgramFolderAreListErrorsBeforeAnyDownload)
{
    ProgramSandbox probe;
    const std::string absolute = probe.Root() / "absolute.txt";
    for (const std::string& target : {std::string("..\\evil.txt"), std::string("../evil.txt"),
                                     std::string("sub\\..\\..\\evil.txt"), std::string(".."), absolute,
                                     std::string("C:evil.txt"), std::string("\\evil.txt"),
                                     std::string("\\\\127.0.0.1\\c$\\evil.txt"), std::string("evil.txt:stream"),
                                     std::string(".. \\evil.txt"), std::string("sub\\Com1.txt")}) {
        m_server.Reset();
        ProgramSandbox prog;
        m_server.Put("/files/evil", "evil");
        m_server.Put("/updates/updates.asp",
                     "1\ndatabase\t2\t2\t0\n" + Fields({"fine.txt", "x", "4", m_server.Url("/files/evil"), "0", "0"}) +
                         "\n" + Fields({target, "x", "4", m_server.Url("/files/evil"), "0", "0"}) + "\n");
        const HOST_RUN run = Check(prog, "database");
        EXPECT_EQ(run.arrEvents, (Events{"status 7", "status 1", "confirm", "confirm database 2 yes",
                                         "status 2 database", kListError, "returned"}))
            << target;
        // Only the line before it was fetched; nothing was installed anywhere.
        EXPECT_EQ(m_server.Requests(), (Events{"/updates/updates.asp", "/files/evil"})) << target;
        EXPECT_EQ(ReadFileText(prog.Temp("updatetmp.tmp")), "") << target;
        EXPECT_FALSE(FileExists(prog.Root() / "evil.txt")) << target;
        EXPECT_FALSE(FileExists(absolute)) << target;
    }
}

TEST_F(HostileList, ZipEntriesOutsideTheProgramFolderFailTheExtraction)
{
    ProgramSandbox prog;
    const std::string absolute = prog.Root() / "abs-slip.txt";
    std::string absoluteEntry = absolute;
    std::replace(absoluteEntry.begin(), absoluteEntry.end(), '\\', '/');
    const char* stamp = "\t2021-03-04 05:06:08\t";
    const std::vector<std::vector<std::string>> archives = {
        {std::string("ok/first.txt") + stamp + "first", std::string("../slip.txt") + stamp + "evil"},
        {std::string("ok/../../slip.txt") + stamp + "evil"},
        {std::string("/slip.txt") + stamp + "evil"},
        {absoluteEntry + stamp + "evil"},
        {std::string("..\\slip.txt") + stamp + "evil"},
    };
    std::string list = "1\nsoftware\t4\t" + std::to_string(archives.size()) + "\t0\n";
    for (size_t i = 0; i < archives.size(); ++i) {
        const std::string document = "/files/slip" + std::to_string(i) + ".zip";
        m_server.PutZip(document, archives[i]);
        list += Fields({"slip.zip", "x", "0", m_server.Url(document), "1", "0"}) + "\n";
    }
    m_server.Put("/updates/updates.asp", list);
    const HOST_RUN run = Check(prog, "software");

    Events expected = {"status 7", "status 1", "confirm", "confirm software 4 yes"};
    for (size_t i = 0; i < archives.size(); ++i)
        expected.push_back("status 2 software");
    expected.insert(expected.end(), {"status 3 software", "status 8"});
    for (size_t i = 0; i < archives.size(); ++i)
        expected.push_back("msgbox Install: Zip Open Failed");
    expected.insert(expected.end(), {"status 11", "returned"});
    EXPECT_EQ(run.arrEvents, expected);

    // Entries before a bad one stay; nothing lands outside; the archives are gone.
    EXPECT_EQ(ReadFileText(prog.Prog("ok\\first.txt")), "first");
    EXPECT_EQ(Strays(prog), Events{});
    EXPECT_FALSE(FileExists("C:\\slip.txt"));
    EXPECT_FALSE(FileExists(absolute));
    EXPECT_TRUE(WaitForFile(prog.Prog("ran.txt"), 30000));
}

TEST_F(HostileList, ErrorPagesAndCutListsAreConnectionFailures)
{
    const char* hows[] = {"status 404\n", "status 500\n", "cut 12\n"};
    for (const char* how : hows) {
        m_server.Reset();
        ProgramSandbox prog;
        m_server.Put("/updates/updates.asp", "1\nsoftware\t1.0\t0\t0\n");
        m_server.How("/updates/updates.asp", how);
        const HOST_RUN run = Check(prog, "software");
        EXPECT_EQ(run.arrEvents, (Events{"status 7", "status 1", kConnectError, "returned"})) << how;
    }

    ProgramSandbox prog;
    m_server.Reset();
    const HOST_RUN missing = Check(prog, "software");
    EXPECT_EQ(missing.arrEvents, (Events{"status 7", "status 1", kConnectError, "returned"}));
}

TEST_F(HostileList, UnreachableServerIsAConnectionFailure)
{
    ProgramSandbox prog;
    const HOST_RUN run = prog.RunHost({"--accept", "software", "http://127.0.0.1:1/updates/updates.asp"});
    EXPECT_EQ(run.arrEvents, (Events{"status 7", "status 1", kConnectError, "returned"}));
}

TEST_F(HostileList, ErrorPagesAndCutBodiesAreFailedDownloads)
{
    const char* hows[] = {"status 404\n", "status 503\n", "cut 100\n"};
    for (const char* how : hows) {
        m_server.Reset();
        ProgramSandbox prog;
        prog.Root().WriteFile("prog\\Hivora.exe", "running program");
        m_server.Put("/files/Hivora.exe", std::string(5000, 'p'));
        m_server.How("/files/Hivora.exe", how);
        m_server.Put("/updates/updates.asp", "1\nsoftware\t3\t1\t1\n" +
                                                  Fields({"Hivora.exe", "x", "5000", m_server.Url("/files/Hivora.exe"),
                                                          "0", "1"}) +
                                                  "\n");
        const HOST_RUN run = Check(prog, "software");
        EXPECT_EQ(run.arrEvents, (Events{"status 7", "status 1", "confirm", "confirm software 3 yes",
                                         "status 2 software", "status 4 software", "returned"}))
            << how;
        EXPECT_EQ(ReadFileText(prog.Prog("Hivora.exe")), "running program") << how;
        EXPECT_EQ(Strays(prog), Events{}) << how;
    }
}

TEST_F(HostileList, ReplyOfTenMegabytesIsReadToItsEnd)
{
    ProgramSandbox prog;
    // A declined product whose file lines fill ten megabytes, then the product that counts.
    const std::string junk = std::string(99, 'j') + "\n";
    const int lines = 10 * 1024 * 1024 / static_cast<int>(junk.size());
    std::string list = "2\nfiller\t1\t" + std::to_string(lines) + "\t0\n";
    list.reserve(list.size() + junk.size() * lines + 200);
    for (int i = 0; i < lines; ++i)
        list += junk;
    m_server.Put("/files/last.txt", "last");
    list += "database\t9\t1\t0\n" + Fields({"last.txt", "x", "4", m_server.Url("/files/last.txt"), "0", "0"}) + "\n";
    m_server.Put("/updates/updates.asp", list);
    const HOST_RUN run = Check(prog, "database");
    EXPECT_EQ(run.arrEvents, (Events{"status 7", "status 1", "confirm", "confirm filler 1 no", "confirm database 9 yes",
                                     "status 2 database", "status 3 database", "status 8", "status 11", "returned"}));
    EXPECT_EQ(ReadFileText(prog.Prog("last.txt")), "last");
    EXPECT_TRUE(WaitForFile(prog.Prog("ran.txt"), 30000));
    EXPECT_EQ(Strays(prog), Events{});
}

TEST_F(HostileList, TamperedInstallListInstallsNothingOutside)
{
    ProgramSandbox prog;
    prog.Root().WriteFile("temp\\DOWNLOAD01", "evil");
    prog.Root().WriteFile("outside.txt", "keep me");
    prog.Root().WriteFile("temp\\updatetmp.tmp", prog.Prog() + "\\\r\n" +
                                                     "..\\evil.txt\tx\t0\turl\t0\t0\tDOWNLOAD01\r\n" +
                                                     "fine.txt\tx\t0\turl\t0\t0\t..\\outside.txt\r\n");
    const HOST_RUN run = prog.RunHost({"--install"});
    EXPECT_EQ(run.arrEvents, (Events{"installed 1"}));
    EXPECT_FALSE(FileExists(prog.Root() / "evil.txt"));
    EXPECT_FALSE(FileExists(prog.Prog("fine.txt")));
    EXPECT_EQ(ReadFileText(prog.Root() / "outside.txt"), "keep me");
    EXPECT_FALSE(FileExists(prog.Temp("DOWNLOAD01")));
    EXPECT_TRUE(WaitForFile(prog.Prog("ran.txt"), 30000));
}

TEST_F(HostileList, InstallListNamingAMissingFolderCreatesNothing)
{
    ProgramSandbox prog;
    prog.Root().WriteFile("temp\\DOWNLOAD01", "data");
    const std::string missing = prog.Root() / "missing";
    prog.Root().WriteFile("temp\\updatetmp.tmp", missing + "\\\r\nsub\\data.bin\tx\t0\turl\t0\t0\tDOWNLOAD01\r\n");
    const HOST_RUN run = prog.RunHost({"--install"});
    EXPECT_EQ(run.arrEvents,
              (Events{"msgbox Hivora: Unable to run the program after update. Please restart Hivora.", "installed 1"}));
    EXPECT_FALSE(FileExists(missing));
    EXPECT_FALSE(FileExists(prog.Temp("DOWNLOAD01")));
}
