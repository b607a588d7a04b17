#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "scope_guard.h"
#include "shell/settings.h"
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

// Files outside the program folder other than the host's log.
Events Strays(const ProgramSandbox& prog)
{
    Events strays;
    for (const std::string& file : prog.AllFiles())
        if (file.rfind("prog\\", 0) != 0 && file != "host.log")
            strays.push_back(file);
    return strays;
}

// What the sandbox holds before a check, and the program folder's log of the updater's warnings.
const Events kUntouched = {"host.log", "prog\\HivoraSetup.exe", "prog\\Patchwell.dll", "prog\\update_host.exe"};

}  // namespace

TEST_F(HostileList, TargetsOutsideTheProgramFolderAreListErrorsBeforeAnyDownload)
{
    ProgramSandbox probe;
    const std::string absolute = probe.Root() / "absolute.txt";
    for (const std::string& target : {std::string("..\\evil.txt"), std::string("../evil.txt"),
                                     std::string("sub\\..\\..\\evil.txt"), std::string(".."), absolute,
                                     std::string("C:evil.txt"), std::string("\\evil.txt"),
                                     std::string("\\\\127.0.0.1\\c$\\evil.txt"), std::string("evil.txt:stream"),
                                     std::string(".. \\evil.txt"), std::string("sub\\Com1.txt"),
                                     std::string("COM\xB9"), std::string("sub\\lpt\xB2.txt"),
                                     std::string("Com\xC2\xB3 .log")}) {
        m_server.Reset();
        ProgramSandbox prog;
        m_server.Put("/files/evil", "evil");
        m_server.PutSigned("/updates/updates.asp",
                           "1\ndatabase\t2\t2\t0\n" +
                               Fields({"fine.txt", HashField("evil"), "4", m_server.Url("/files/evil"), "0", "0"}) + "\n" +
                               Fields({target, HashField("evil"), "4", m_server.Url("/files/evil"), "0", "0"}) + "\n");
        const HOST_RUN run = Check(prog, "database");
        EXPECT_EQ(run.arrEvents, (Events{"status 7", "status 1", "confirm", "confirm database 2 yes",
                                         "status 2 database", kListError, "returned"}))
            << target;
        // Only the line before it was fetched; nothing was installed anywhere, nothing is left.
        EXPECT_EQ(m_server.Requests(), (Events{"/updates/updates.asp", "/files/evil"})) << target;
        EXPECT_EQ(prog.AllFiles(), kUntouched) << target;
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
        const std::string zip = m_server.Get(document);
        list += Fields({"slip.zip", HashField(zip), std::to_string(zip.size()), m_server.Url(document), "1", "0"}) + "\n";
    }
    m_server.PutSigned("/updates/updates.asp", list);
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
}

TEST_F(HostileList, ErrorPagesAndCutListsAreConnectionFailures)
{
    const char* hows[] = {"status 404\n", "status 500\n", "cut 12\n"};
    for (const char* how : hows) {
        m_server.Reset();
        ProgramSandbox prog;
        m_server.PutSigned("/updates/updates.asp", "1\nsoftware\t1.0\t0\t0\n");
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
        m_server.PutSigned("/updates/updates.asp",
                           "1\nsoftware\t3\t1\t1\n" +
                               Fields({"Hivora.exe", HashField(std::string(5000, 'p')), "5000",
                                       m_server.Url("/files/Hivora.exe"), "0", "1"}) +
                               "\n");
        const HOST_RUN run = Check(prog, "software");
        EXPECT_EQ(run.arrEvents, (Events{"status 7", "status 1", "confirm", "confirm software 3 yes",
                                         "status 2 software", "status 4 software", "returned"}))
            << how;
        EXPECT_EQ(ReadFileText(prog.Prog("Hivora.exe")), "running program") << how;
        EXPECT_EQ(Strays(prog), Events{}) << how;
    }
}

TEST_F(HostileList, ForgedListsAreListErrorsAndNothingIsFetched)
{
    struct CASE {
        const char* what;
        const char* key;  // null: served unsigned
        const char* how;
        std::string reply; // served as it is, when given
        const char* reason;
    };
    const std::string list = "1\ndatabase\t999\t1\t0\n" +
                             Fields({"defs.db", HashField("forged"), "6", m_server.Url("/files/defs.db"), "0", "1"}) + "\n";
    const std::string signature(128, 'a');
    const CASE cases[] = {
        {"unsigned", nullptr, "", {}, "it carries no signature"},
        // Byte 179 is the version's last digit, after line 0 ("1 serial=" and 10 digits, " expires="
        // and a date, the tab, 128 digits) and "\ndatabase\t99".
        {"one byte changed", "update-dev", "flip 179\n", {}, "its signature does not match the update key"},
        {"signed with another key", "update-other", "", {}, "its signature does not match the update key"},
        {"signature cut short", nullptr, "", "1\t" + signature.substr(1) + list.substr(1), "its signature is not 128 hex digits"},
        {"signature not in hex", nullptr, "", "1\t" + signature.substr(1) + "g" + list.substr(1),
         "its signature is not 128 hex digits"},
        {"signature on line 1", nullptr, "", "1\n" + signature + "\t" + list.substr(2), "it carries no signature"},
    };
    for (const CASE& c : cases) {
        m_server.Reset();
        ProgramSandbox prog;
        m_server.Put("/files/defs.db", "forged");
        if (!c.reply.empty())
            m_server.Put("/updates/updates.asp", c.reply);
        else if (c.key)
            m_server.PutSigned("/updates/updates.asp", list, c.key);
        else
            m_server.Put("/updates/updates.asp", list);
        if (*c.how)
            m_server.How("/updates/updates.asp", c.how);
        const HOST_RUN run = Check(prog, "database");
        // No product is offered (so "database" keeps its value), nothing is fetched or started.
        EXPECT_EQ(run.arrEvents, (Events{"status 7", "status 1", "confirm", kListError, "returned"})) << c.what;
        EXPECT_EQ(m_server.Requests(), Events{"/updates/updates.asp"}) << c.what;
        EXPECT_EQ(WithoutLogs(prog.AllFiles()), kUntouched) << c.what;
        EXPECT_TRUE(prog.Logged("WARN ", std::string("Update list refused: ") + c.reason)) << c.what;
    }
    // The same list, signed as the server signs it, is taken.
    m_server.Reset();
    ProgramSandbox prog;
    m_server.PutSigned("/updates/updates.asp", list);
    EXPECT_EQ(Check(prog, "none").arrEvents,
              (Events{"status 7", "status 1", "confirm", "confirm database 999 no", "status 11", "returned"}));
}

TEST_F(HostileList, OldAndExpiredListsAreListErrorsAndNothingIsFetched)
{
    const char kSerial[] = "updateserial";
    const std::string saved = ReadSettingString(kSerial);
    const ScopeGuard restore([&] {
        if (saved.empty())
            RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Hivora", kSerial);
        else
            WriteSettingString(kSerial, saved);
    });
    m_server.Put("/files/defs.db", "definitions");
    const std::string list = "1\ndatabase\t999\t1\t0\n" +
                             Fields({"defs.db", HashField("definitions"), "11", m_server.Url("/files/defs.db"), "0", "1"}) +
                             "\n";
    const Events declined = {"status 7", "status 1", "confirm", "confirm database 999 no", "status 11", "returned"};
    SYSTEMTIME now {};
    GetSystemTime(&now);
    char today[16];
    snprintf(today, sizeof today, "%04u-%02u-%02u", now.wYear, now.wMonth, now.wDay);

    // A list signed now, and one whose last day is today, are taken, and their serial kept as the
    // highest. (Other update tests may raise it meanwhile: it is the time of signing.)
    for (const std::string& options : {std::string(), std::string("--expires ") + today}) {
        m_server.Reset();
        ProgramSandbox prog;
        m_server.PutSigned("/updates/updates.asp", list, "update-dev", options);
        EXPECT_EQ(Check(prog, "none").arrEvents, declined) << options;
    }
    const uint64_t highest = std::strtoull(ReadSettingString(kSerial).c_str(), nullptr, 10);
    EXPECT_GT(highest, 1000u);

    // An older list, however well signed, and an expired one: list errors, nothing offered or fetched.
    const struct {
        const char* options;
        const char* reason;
    } cases[] = {
        {"--serial 1000", "it is an older list (serial 1000, lower than "},
        {"--serial 1 --expires 2099-01-01", "it is an older list (serial 1, lower than "},
        {"--expires 2020-01-01", "it expired after 2020-01-01"},
    };
    for (const auto& c : cases) {
        m_server.Reset();
        ProgramSandbox prog;
        m_server.PutSigned("/updates/updates.asp", list, "update-dev", c.options);
        EXPECT_EQ(Check(prog, "database").arrEvents, (Events{"status 7", "status 1", "confirm", kListError, "returned"}))
            << c.options;
        EXPECT_EQ(m_server.Requests(), Events{"/updates/updates.asp"}) << c.options;
        EXPECT_EQ(WithoutLogs(prog.AllFiles()), kUntouched) << c.options;
        EXPECT_TRUE(prog.Logged("WARN ", std::string("Update list refused: ") + c.reason)) << c.options;
        EXPECT_GE(std::strtoull(ReadSettingString(kSerial).c_str(), nullptr, 10), highest) << c.options;
    }
}

TEST_F(HostileList, DownloadsLongerThanTheirSignedSizeAreCutOff)
{
    // Far more than the list names, arriving slowly: the download stops at the first piece beyond
    // the size and is deleted, before the hash is even taken.
    const std::string content(256 * 1024, 'b');
    m_server.Put("/files/big.bin", content);
    m_server.How("/files/big.bin", "slow 10\n");
    for (const char* size : {"1000", "0"}) {
        m_server.Reset();
        m_server.Put("/files/big.bin", content);
        m_server.How("/files/big.bin", "slow 10\n");
        ProgramSandbox prog;
        m_server.PutSigned("/updates/updates.asp",
                           "1\ndatabase\t2\t1\t0\n" +
                               Fields({"big.bin", HashField(content), size, m_server.Url("/files/big.bin"), "0", "0"}) + "\n");
        const HOST_RUN run = Check(prog, "database");
        if (std::string(size) == "0") {
            // No size, no bound: the list is refused before anything is fetched.
            EXPECT_EQ(run.arrEvents,
                      (Events{"status 7", "status 1", "confirm", "confirm database 2 yes", kListError, "returned"}));
            EXPECT_EQ(m_server.Requests(), Events{"/updates/updates.asp"});
            EXPECT_TRUE(prog.Logged("WARN ", "Update list refused: it names no size for big.bin"));
        } else {
            EXPECT_EQ(run.arrEvents, (Events{"status 7", "status 1", "confirm", "confirm database 2 yes",
                                             "status 2 database", "status 4 database", "returned"}));
            EXPECT_TRUE(prog.Logged("WARN ", "Update of database refused: the download of big.bin was stopped, being "
                                             "longer than the 1000 bytes the list names"));
        }
        EXPECT_EQ(WithoutLogs(prog.AllFiles()), kUntouched) << size;
    }
}

TEST_F(HostileList, DownloadsThatDifferFromTheirHashAreNotInstalled)
{
    ProgramSandbox prog;
    prog.Root().WriteFile("prog\\defs.db", "old definitions");
    m_server.Put("/files/defs.db", "evil definitions");
    m_server.Put("/files/tool.exe", StandInProgram());
    // Both files would be started after their installation.
    m_server.PutSigned("/updates/updates.asp",
                       "2\nsoftware\t3\t1\t0\n" +
                           Fields({"tool.exe", "x", "0", m_server.Url("/files/tool.exe"), "0", "1"}) +
                           "\ndatabase\t2\t1\t0\n" +
                           Fields({"defs.db", HashField("good definitions"), "16", m_server.Url("/files/defs.db"), "0", "1"}) +
                           "\n");
    const HOST_RUN noHash = Check(prog, "software");
    EXPECT_EQ(noHash.arrEvents,
              (Events{"status 7", "status 1", "confirm", "confirm software 3 yes", "status 4 software", "returned"}));
    EXPECT_TRUE(prog.Logged("WARN ", "Update of software refused: the list names no SHA-256 for tool.exe"));

    const HOST_RUN wrongHash = Check(prog, "database");
    EXPECT_EQ(wrongHash.arrEvents, (Events{"status 7", "status 1", "confirm", "confirm software 3 no",
                                           "confirm database 2 yes", "status 2 database", "status 4 database", "returned"}));
    EXPECT_TRUE(prog.Logged("WARN ",
                       "Update of database refused: the download of defs.db does not have the SHA-256 the list names"));
    // Only the list and the file that failed were fetched; nothing is installed, started or left.
    EXPECT_EQ(m_server.Requests(), (Events{"/updates/updates.asp", "/updates/updates.asp", "/files/defs.db"}));
    EXPECT_EQ(ReadFileText(prog.Prog("defs.db")), "old definitions");
    EXPECT_EQ(WithoutLogs(prog.AllFiles()), (Events{"host.log", "prog\\HivoraSetup.exe", "prog\\Patchwell.dll",
                                                    "prog\\defs.db", "prog\\update_host.exe"}));
}

TEST_F(HostileList, RepliesAreReadUpToOneMebibyte)
{
    // A declined product whose file lines fill the reply, then the product that counts.
    const auto reply = [&](size_t size) {
        const std::string junk = std::string(99, 'j') + "\n";
        const size_t lines = size / junk.size();
        std::string list = "2\nfiller\t1\t" + std::to_string(lines) + "\t0\n";
        list.reserve(size + 400);
        for (size_t i = 0; i < lines; ++i)
            list += junk;
        return list + "database\t9\t1\t0\n" +
               Fields({"last.txt", HashField("last"), "4", m_server.Url("/files/last.txt"), "0", "0"}) + "\n";
    };
    m_server.Put("/files/last.txt", "last");

    // Just below the bound: read to its end, however many pieces it comes in.
    ProgramSandbox prog;
    m_server.PutSigned("/updates/updates.asp", reply(1024 * 1024 - 1000));
    const HOST_RUN run = Check(prog, "database");
    EXPECT_EQ(run.arrEvents, (Events{"status 7", "status 1", "confirm", "confirm filler 1 no", "confirm database 9 yes",
                                     "status 2 database", "status 3 database", "status 8", "status 11", "returned"}));
    EXPECT_EQ(ReadFileText(prog.Prog("last.txt")), "last");

    // Two mebibytes: refused, however well signed.
    m_server.Reset();
    m_server.Put("/files/last.txt", "last");
    ProgramSandbox big;
    m_server.PutSigned("/updates/updates.asp", reply(2 * 1024 * 1024));
    EXPECT_EQ(Check(big, "database").arrEvents, (Events{"status 7", "status 1", kListError, "returned"}));
    EXPECT_EQ(m_server.Requests(), Events{"/updates/updates.asp"});
    EXPECT_EQ(WithoutLogs(big.AllFiles()), kUntouched);
    EXPECT_TRUE(big.Logged("WARN ", "Update list refused: the reply is larger than 1 MiB"));
}

TEST_F(HostileList, TamperedInstallListInstallsNothingOutside)
{
    ProgramSandbox prog;
    const std::string folder = prog.MakeUpdateFolder();
    prog.Root().WriteFile("prog\\" + folder + "\\DOWNLOAD01", "evil");
    prog.Root().WriteFile("prog\\" + folder + "\\DOWNLOAD02", "changed while it waited");
    prog.Root().WriteFile("outside.txt", "keep me");
    prog.Root().WriteFile("prog\\" + folder + "\\updatetmp.tmp",
                          prog.Prog() + "\\\r\n" + "..\\evil.txt\t" + HashField("evil") + "\t0\turl\t0\t0\tDOWNLOAD01\r\n" +
                              "fine.txt\t" + HashField("keep me") + "\t0\turl\t0\t0\t..\\..\\outside.txt\r\n" +
                              "tool.exe\t" + HashField("as downloaded") + "\t0\turl\t0\t1\tDOWNLOAD02\r\n");
    const HOST_RUN run = prog.RunHost({"--install", folder});
    EXPECT_EQ(run.arrEvents, (Events{"installed 1"}));
    EXPECT_FALSE(FileExists(prog.Root() / "evil.txt"));
    EXPECT_FALSE(FileExists(prog.Prog("fine.txt")));
    EXPECT_FALSE(FileExists(prog.Prog("tool.exe")));
    EXPECT_EQ(ReadFileText(prog.Root() / "outside.txt"), "keep me");
    EXPECT_TRUE(prog.Logged("WARN ", "Install of tool.exe refused: the downloaded file does not have the SHA-256 the list names"));
    EXPECT_FALSE(FileExists(prog.Prog("ran.txt")));
    EXPECT_FALSE(FileExists(prog.Prog(folder)));
}

TEST_F(HostileList, InstallListNamingAnotherFolderWritesNothingThere)
{
    for (const char* other : {"other", "missing"}) {
        ProgramSandbox prog;
        if (std::string(other) == "other") {
            prog.Root().WriteFile("other\\data.bin", "theirs");
            prog.Root().WriteFile("other\\HivoraSetup.exe", StandInProgram());
        }
        const std::string folder = prog.MakeUpdateFolder();
        prog.Root().WriteFile("prog\\" + folder + "\\DOWNLOAD01", "data");
        prog.Root().WriteFile("prog\\" + folder + "\\updatetmp.tmp",
                              prog.Root() / other + "\\\r\ndata.bin\t" + HashField("data") + "\t0\turl\t0\t0\tDOWNLOAD01\r\n");
        const HOST_RUN run = prog.RunHost({"--install", folder});
        EXPECT_EQ(run.arrEvents, (Events{"installed 0"})) << other;
        EXPECT_TRUE(prog.Logged("WARN ", "Install list refused: it names the folder " + (prog.Root() / other) +
                                              "\\, not " + prog.Prog() + "\\"))
            << other;
        // Nothing was written or started anywhere, and the update folder is gone.
        Events expected = kUntouched;
        if (std::string(other) == "other")
            expected.insert(expected.begin() + 1, {"other\\HivoraSetup.exe", "other\\data.bin"});
        EXPECT_EQ(WithoutLogs(prog.AllFiles()), expected) << other;
        if (std::string(other) == "other") {
            EXPECT_EQ(ReadFileText(prog.Root() / "other\\data.bin"), "theirs");
        }
    }
}

TEST_F(HostileList, InstallerTakesOnlyAnUpdateFolderBesideItself)
{
    ProgramSandbox prog;
    prog.Root().WriteFile("elsewhere\\updatetmp.tmp", prog.Prog() + "\\\r\n");
    prog.Root().WriteFile("prog\\Update-0123\\updatetmp.tmp", prog.Prog() + "\\\r\n");
    for (const std::string& name : {std::string("..\\elsewhere"), prog.Root() / "elsewhere", std::string("Update-0123"),
                                    std::string("Update-0123456789abcdef0123456789abcdef\\..\\..\\elsewhere")}) {
        const HOST_RUN run = prog.RunHost({"--install", name});
        EXPECT_EQ(run.arrEvents, (Events{"msgbox Hivora: Error in open file", "installed 0"})) << name;
        EXPECT_TRUE(FileExists(prog.Root() / "elsewhere\\updatetmp.tmp")) << name;
    }
    EXPECT_FALSE(FileExists(prog.Prog("ran.txt")));
}
