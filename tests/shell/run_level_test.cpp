#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>
#include <taskschd.h>

#include <string>

#include "framework/com_ptr.h"
#include "framework/paths.h"
#include "shell/logfile.h"
#include "shell/run_level.h"
#include "shell/task_service.h"
#include "shell/task_xml.h"
#include "tempdir.h"

namespace {

const std::string kProgram = "C:\\Program Files\\Hivora\\Hivora.exe";

SCHEDULED_TASK_STATE OurTask()
{
    SCHEDULED_TASK_STATE task;
    task.nRunLevel = kRunLevelLimited;
    task.nLogonType = 3;  // the interactive token a task of the 1.0 interfaces runs with
    task.nActions = 1;
    task.bExecAction = true;
    task.strCommand = kProgram;
    task.strArguments = "-t";
    return task;
}

// A task registered through the 2.0 interfaces only, removed at the end.
class TaskServiceTask {
public:
    TaskServiceTask(const std::wstring& name, const std::string& program) : m_name(SysAllocString(name.c_str()))
    {
        VARIANT none;
        VariantInit(&none);
        if (FAILED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                    m_service.put())) ||
            FAILED(m_service->Connect(none, none, none, none)))
            return;
        BSTR rootName = SysAllocString(L"\\");
        m_service->GetFolder(rootName, m_root.put_typed());
        SysFreeString(rootName);
        ComPtr<ITaskDefinition> definition;
        ComPtr<IActionCollection> actions;
        ComPtr<IAction> action;
        ComPtr<IExecAction> exec;
        if (!m_root || FAILED(m_service->NewTask(0, definition.put_typed())) ||
            FAILED(definition->get_Actions(actions.put_typed())) ||
            FAILED(actions->Create(TASK_ACTION_EXEC, action.put_typed())) ||
            FAILED(action->QueryInterface(IID_IExecAction, exec.put())))
            return;
        std::wstring path(program.begin(), program.end());
        BSTR text = SysAllocString(path.c_str());
        exec->put_Path(text);
        SysFreeString(text);
        text = SysAllocString(L"-t");
        exec->put_Arguments(text);
        SysFreeString(text);
        ComPtr<IRegisteredTask> registered;
        m_root->RegisterTaskDefinition(m_name, definition.get(), TASK_CREATE_OR_UPDATE, none, none,
                                       TASK_LOGON_INTERACTIVE_TOKEN, none, registered.put_typed());
    }
    ~TaskServiceTask()
    {
        if (m_root)
            m_root->DeleteTask(m_name, 0);
        SysFreeString(m_name);
    }
    TaskServiceTask(const TaskServiceTask&) = delete;
    TaskServiceTask& operator=(const TaskServiceTask&) = delete;

    bool Exists() const
    {
        ComPtr<IRegisteredTask> task;
        return m_root && SUCCEEDED(m_root->GetTask(m_name, task.put_typed()));
    }
    bool RunsHighest() const
    {
        ComPtr<IRegisteredTask> task;
        ComPtr<ITaskDefinition> definition;
        ComPtr<IPrincipal> principal;
        TASK_RUNLEVEL_TYPE level = TASK_RUNLEVEL_LUA;
        return m_root && SUCCEEDED(m_root->GetTask(m_name, task.put_typed())) &&
               SUCCEEDED(task->get_Definition(definition.put_typed())) &&
               SUCCEEDED(definition->get_Principal(principal.put_typed())) &&
               SUCCEEDED(principal->get_RunLevel(&level)) && level == TASK_RUNLEVEL_HIGHEST;
    }

private:
    BSTR m_name;
    ComPtr<ITaskService> m_service;
    ComPtr<ITaskFolder> m_root;
};

} // namespace

TEST(RunLevel, OnlyTheLimitedTaskThatStartsThisProgramIsRaised)
{
    EXPECT_EQ(DecideRunLevelStep(OurTask(), kProgram), RUNLEVEL_RAISE);
    SCHEDULED_TASK_STATE task = OurTask();
    task.strCommand = "  \"c:\\program files\\HIVORA\\hivora.EXE\" ";
    task.strArguments = " -t ";
    task.nLogonType = 2;  // service for user: no password either
    EXPECT_EQ(DecideRunLevelStep(task, kProgram), RUNLEVEL_RAISE);

    task = OurTask();
    task.nRunLevel = kRunLevelHighest;
    EXPECT_EQ(DecideRunLevelStep(task, kProgram), RUNLEVEL_ALREADY_HIGHEST);
    for (int logon : {kLogonPassword, kLogonInteractiveTokenOrPassword}) {
        task = OurTask();
        task.nLogonType = logon;
        EXPECT_EQ(DecideRunLevelStep(task, kProgram), RUNLEVEL_NEEDS_PASSWORD) << logon;
    }

    // A task of the same name that would start anything else, even at the highest level already.
    const auto foreign = [](auto change) {
        SCHEDULED_TASK_STATE other = OurTask();
        change(other);
        return DecideRunLevelStep(other, kProgram);
    };
    EXPECT_EQ(foreign([](auto& t) { t.strCommand = "C:\\Users\\Public\\Hivora.exe"; }), RUNLEVEL_NOT_OURS);
    EXPECT_EQ(foreign([](auto& t) { t.strCommand = kProgram + ".exe"; }), RUNLEVEL_NOT_OURS);
    EXPECT_EQ(foreign([](auto& t) { t.strCommand = "\"" + kProgram; }), RUNLEVEL_NOT_OURS);
    EXPECT_EQ(foreign([](auto& t) { t.strCommand.clear(); }), RUNLEVEL_NOT_OURS);
    EXPECT_EQ(foreign([](auto& t) { t.strArguments = "-t /other"; }), RUNLEVEL_NOT_OURS);
    EXPECT_EQ(foreign([](auto& t) { t.strArguments.clear(); }), RUNLEVEL_NOT_OURS);
    EXPECT_EQ(foreign([](auto& t) { t.nActions = 2; }), RUNLEVEL_NOT_OURS);
    EXPECT_EQ(foreign([](auto& t) { t.bExecAction = false; }), RUNLEVEL_NOT_OURS);
    EXPECT_EQ(foreign([](auto& t) {
                  t.strCommand = "C:\\Other.exe";
                  t.nRunLevel = kRunLevelHighest;
              }),
              RUNLEVEL_NOT_OURS);
    // Only ASCII letters fold: a name differing in another letter's case is another file.
    EXPECT_EQ(DecideRunLevelStep(OurTask(), "C:\\Program Files\\Hivora\\\xC9.exe"), RUNLEVEL_NOT_OURS);
}

TEST(RunLevel, ATaskTheSchedulerDoesNotKeepAsRegisteredIsPutBackAndToldInOneWarning)
{
    const ComApartment com;
    TempDir folder;
    CLogFile log(folder / "run.log");
    g_pLog = &log;
    const std::string program = ProgramPath();
    const SCAN_TASK_SETUP setup = ProgramTaskSetup(folder.Path(), "Runs Hivora at Scheduled Time.");
    EXPECT_FALSE(setup.strUserSid.empty());

    // Not registered before: made with the default trigger where the scheduler keeps it as
    // registered; otherwise (Wine) removed again, with what was lost named.
    std::string reason;
    bool kept = EnsureScanTaskV2("Hivora run level test", setup, nullptr, true, reason);
    TASK_XML task;
    std::wstring xml;
    std::string readReason;
    TASK_READ read = ReadRegisteredTask("Hivora run level test", task, xml, readReason);
    if (kept) {
        EXPECT_EQ(read, TASK_FOUND);
        EXPECT_TRUE(IsCurrentScanTask(task, setup.strProgram));
        ASSERT_EQ(task.triggers.size(), 1u);
        EXPECT_EQ(TriggerListText(task.triggers[0]), "At 3:00 AM every Tue of every week, starting 1/1/2006");
    } else {
        EXPECT_EQ(read, TASK_MISSING) << readReason;
        EXPECT_EQ(reason, "the Task Scheduler 2.0 did not keep its triggers, its action and its run level");
    }
    LogScanTaskPath("Hivora run level test", kept ? std::string() : reason);
    const std::string text = ReadFileText(log.m_strPath);
    if (kept)
        EXPECT_NE(text.find("INFO --The scheduled task Hivora run level test runs with highest privileges through "
                            "the Task Scheduler 2.0"),
                  std::string::npos)
            << text;
    else
        EXPECT_NE(text.find("WARN --The scheduled task Hivora run level test could not be set to run with highest "
                            "privileges: the Task Scheduler 2.0 did not keep its triggers, its action and its run "
                            "level; it is kept through the Task Scheduler 1.0 interfaces"),
                  std::string::npos)
            << text;

    // Registered before at the limited level: registered again as the program's own where the
    // scheduler keeps that, otherwise left registered as it was.
    {
        TaskServiceTask limited(L"Hivora run level test", program);
        ASSERT_TRUE(limited.Exists());
        kept = EnsureScanTaskV2("Hivora run level test", setup, nullptr, true, reason);
        EXPECT_TRUE(limited.Exists());
        EXPECT_EQ(kept, limited.RunsHighest());
    }
    EXPECT_EQ(ReadRegisteredTask("Hivora run level test", task, xml, readReason), TASK_MISSING);
    g_pLog = nullptr;
}
