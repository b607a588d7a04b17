// The Settings tab's General Settings and Scheduling pages of the real Hivora.exe: switches stored
// the moment they change, the scheduled task made at start, its schedule changed through Manage
// Schedule, a deleted task made again, and a start the way the task starts the program.
#include <gtest/gtest.h>

#include <windows.h>
#include <mstask.h>

#include <string>
#include <vector>

#include "framework/com_ptr.h"
#include "framework/handles.h"
#include "framework/wide_text.h"
#include "gui_driver.h"
#include "hivora_app.h"
#include "resources/resource.h"
#include "tempdir.h"

namespace {

const HivoraApp::Settings kScannedBefore = {{"lastScan", "01-02-2026 10:11:12"}, {"runhivorastartup", "1"}};
const char* const kDefaultText = "At 3:00 AM every Tue of every week, starting 1/1/2006";

// The general settings in screen order.
const char* const kOptionSettings[8] = {"runhivorastartup", "autoupdts", "prompt",   "shutdown",
                                        "autorpar",         "rstrpont",  "splshscrn", "logscanResults"};

// The scheduled task "Hivora" as the Task Scheduler keeps it.
struct TASK_RECORD {
    bool bExists = false;
    std::string strApplication, strParameters, strDirectory, strComment;
    DWORD nFlags = 0;
    std::vector<TASK_TRIGGER> triggers;
};

ComPtr<ITaskScheduler> Scheduler()
{
    ComPtr<ITaskScheduler> scheduler;
    CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler, scheduler.put());
    return scheduler;
}

TASK_RECORD ReadTask()
{
    TASK_RECORD record;
    ComPtr<ITaskScheduler> scheduler = Scheduler();
    ComPtr<ITask> task;
    if (!scheduler || FAILED(scheduler->Activate(L"Hivora", IID_ITask, reinterpret_cast<IUnknown**>(task.put()))))
        return record;
    record.bExists = true;
    LPWSTR text = nullptr;
    const auto take = [&](HRESULT hr, std::string& into) {
        if (SUCCEEDED(hr) && text) {
            into = Narrow(text);
            CoTaskMemFree(text);
        }
        text = nullptr;
    };
    take(task->GetApplicationName(&text), record.strApplication);
    take(task->GetParameters(&text), record.strParameters);
    take(task->GetWorkingDirectory(&text), record.strDirectory);
    take(task->GetComment(&text), record.strComment);
    task->GetFlags(&record.nFlags);
    WORD count = 0;
    task->GetTriggerCount(&count);
    for (WORD i = 0; i < count; ++i) {
        ComPtr<ITaskTrigger> trigger;
        TASK_TRIGGER data{};
        data.cbTriggerSize = sizeof data;
        if (SUCCEEDED(task->GetTrigger(i, trigger.put_typed())) && SUCCEEDED(trigger->GetTrigger(&data)))
            record.triggers.push_back(data);
    }
    return record;
}

void DeleteTask()
{
    if (ComPtr<ITaskScheduler> scheduler = Scheduler())
        scheduler->Delete(L"Hivora");
}

// The task "Hivora" as the program makes it, with these triggers; true when saved.
bool MakeTask(const std::string& program, const std::vector<TASK_TRIGGER>& triggers)
{
    DeleteTask();
    ComPtr<ITaskScheduler> scheduler = Scheduler();
    ComPtr<ITask> task;
    if (!scheduler ||
        FAILED(scheduler->NewWorkItem(L"Hivora", CLSID_CTask, IID_ITask, reinterpret_cast<IUnknown**>(task.put()))))
        return false;
    std::wstring path(program.begin(), program.end());
    task->SetApplicationName(path.c_str());
    task->SetParameters(L"-t");
    task->SetFlags(TASK_FLAG_RUN_ONLY_IF_LOGGED_ON);
    for (TASK_TRIGGER data : triggers) {
        ComPtr<ITaskTrigger> trigger;
        WORD index = 0;
        if (FAILED(task->CreateTrigger(&index, trigger.put_typed())) || FAILED(trigger->SetTrigger(&data)))
            return false;
    }
    ComPtr<IPersistFile> file;
    return SUCCEEDED(task->QueryInterface(IID_IPersistFile, file.put())) && SUCCEEDED(file->Save(nullptr, TRUE));
}

TASK_TRIGGER Trigger(TASK_TRIGGER_TYPE type)
{
    TASK_TRIGGER t{};
    t.cbTriggerSize = sizeof t;
    t.wBeginYear = 2024;
    t.wBeginMonth = 3;
    t.wBeginDay = 1;
    t.wEndYear = 2030;
    t.wEndMonth = 12;
    t.wEndDay = 31;
    t.wStartHour = 21;
    t.wStartMinute = 15;
    t.MinutesInterval = 30;
    t.MinutesDuration = 120;
    t.rgFlags = TASK_TRIGGER_FLAG_HAS_END_DATE;
    t.TriggerType = type;
    return t;
}

// Every field the scheduler keeps, the kind's own ones included.
void ExpectSameTrigger(const TASK_TRIGGER& a, const TASK_TRIGGER& b)
{
    EXPECT_EQ(a.TriggerType, b.TriggerType);
    EXPECT_EQ(std::vector<int>({a.wBeginYear, a.wBeginMonth, a.wBeginDay, a.wEndYear, a.wEndMonth, a.wEndDay,
                                a.wStartHour, a.wStartMinute}),
              std::vector<int>({b.wBeginYear, b.wBeginMonth, b.wBeginDay, b.wEndYear, b.wEndMonth, b.wEndDay,
                                b.wStartHour, b.wStartMinute}));
    EXPECT_EQ(a.MinutesInterval, b.MinutesInterval);
    EXPECT_EQ(a.MinutesDuration, b.MinutesDuration);
    EXPECT_EQ(a.rgFlags, b.rgFlags);
    if (a.TriggerType == TASK_TIME_TRIGGER_MONTHLYDOW) {
        EXPECT_EQ(a.Type.MonthlyDOW.wWhichWeek, b.Type.MonthlyDOW.wWhichWeek);
        EXPECT_EQ(a.Type.MonthlyDOW.rgfDaysOfTheWeek, b.Type.MonthlyDOW.rgfDaysOfTheWeek);
        EXPECT_EQ(a.Type.MonthlyDOW.rgfMonths, b.Type.MonthlyDOW.rgfMonths);
    } else if (a.TriggerType == TASK_TIME_TRIGGER_MONTHLYDATE) {
        EXPECT_EQ(a.Type.MonthlyDate.rgfDays, b.Type.MonthlyDate.rgfDays);
        EXPECT_EQ(a.Type.MonthlyDate.rgfMonths, b.Type.MonthlyDate.rgfMonths);
    }
}

// The text of the first log file of the program folder; empty when there is none.
std::string LogText(const std::string& folder)
{
    WIN32_FIND_DATAA found{};
    const FindHandle search(FindFirstFileA((folder + "Logs\\HV*.log").c_str(), &found));
    return search ? ReadFileText(folder + "Logs\\" + found.cFileName) : std::string();
}

HWND PageOf(HWND top, int id)
{
    HWND control = gui::FindControl(top, id);
    return control ? GetParent(control) : nullptr;
}

// The schedule page's list, once it shows lines.
std::vector<std::string> ScheduleLines(HWND main)
{
    HWND list = gui::FindControl(main, IDC_SCHEDULE_LIST);
    std::vector<std::string> lines;
    gui::WaitFor([&] { return (lines = gui::ListBoxLines(list)).size() > 0; });
    return lines;
}

HWND ShowSchedulePage(HWND main)
{
    if (!gui::ClickButton(main, IDC_TAB_SETTINGS) || !gui::Click(main, IDC_TAB_SCHEDULE))
        return nullptr;
    return PageOf(main, IDC_MANAGE_SCHEDULE);
}

} // namespace

TEST(SettingsPages, GeneralSwitchesStoreAtOnceFromBoxAndCaption)
{
    HivoraApp app;  // a machine without settings: the first run
    ASSERT_TRUE(app.Start());
    HWND main = app.MainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(gui::ClickButton(main, IDC_TAB_SETTINGS));
    HWND page = PageOf(main, IDC_OPEN_LOG_FOLDER);
    ASSERT_NE(page, nullptr);

    // Four boxes show ticked though nothing stored them; the first run stored runhivorastartup and
    // the restore point, which the repair then makes as the page shows.
    const bool shown[8] = {true, true, true, false, false, true, true, true};
    for (int option = 0; option < 8; ++option)
        EXPECT_EQ(gui::IsChecked(page, IDC_OPTION_CHECK_FIRST + option), shown[option]) << option;
    for (const char* setting : {"autoupdts", "prompt", "splshscrn", "logscanResults"})
        EXPECT_EQ(ReadHivoraSetting(setting), "") << setting;
    EXPECT_EQ(ReadHivoraSetting("rstrpont"), "1");
    gui::SaveScreenshot("settings-general");

    // A box stores its new state at once; its caption toggles it back and stores that.
    for (int option = 0; option < 8; ++option) {
        const char* setting = kOptionSettings[option];
        const bool was = gui::IsChecked(page, IDC_OPTION_CHECK_FIRST + option);
        ASSERT_TRUE(gui::SetChecked(page, IDC_OPTION_CHECK_FIRST + option, !was));
        EXPECT_TRUE(gui::WaitFor([&] { return ReadHivoraSetting(setting) == (was ? "0" : "1"); })) << setting;
        // The caption is the box's own: a click on its text, well right of the box.
        gui::ClickAt(gui::FindControl(page, IDC_OPTION_CHECK_FIRST + option), 60, 9);
        EXPECT_TRUE(gui::WaitFor([&] { return ReadHivoraSetting(setting) == (was ? "1" : "0"); })) << setting;
        EXPECT_EQ(gui::IsChecked(page, IDC_OPTION_CHECK_FIRST + option), was) << setting;
    }
    // A quick double click on a caption is two clicks: the box and its value end as they were.
    HWND caption = gui::FindControl(page, IDC_OPTION_CHECK_FIRST + 3);
    const bool before = gui::IsChecked(page, IDC_OPTION_CHECK_FIRST + 3);
    gui::DoubleClickAt(caption, 60, 9);
    EXPECT_EQ(gui::IsChecked(page, IDC_OPTION_CHECK_FIRST + 3), before);
    EXPECT_EQ(ReadHivoraSetting("shutdown"), before ? "1" : "0");

    // "(Not Recommended)" is part of the automatic repair caption.
    gui::ClickAt(gui::FindControl(page, IDC_OPTION_NOT_RECOMMENDED), 5, 5);
    EXPECT_TRUE(gui::WaitFor([] { return ReadHivoraSetting("autorpar") == "1"; }));

    // Shown again, an unticked box stays unticked: a stored 0 never unticks, nor ticks.
    ASSERT_TRUE(gui::SetChecked(page, IDC_OPTION_CHECK_FIRST + 1, false));
    ASSERT_TRUE(gui::Click(page, IDC_TAB_SCHEDULE));
    ASSERT_TRUE(gui::Click(PageOf(main, IDC_MANAGE_SCHEDULE), IDC_TAB_GENERAL));
    ASSERT_TRUE(gui::WaitFor([&] { return IsWindowVisible(page) != FALSE; }));
    EXPECT_FALSE(gui::IsChecked(page, IDC_OPTION_CHECK_FIRST + 1));
    EXPECT_TRUE(gui::IsChecked(page, IDC_OPTION_CHECK_FIRST + 4));

    // Open Log Folder: the system's Open dialog, whose answer changes nothing.
    ASSERT_TRUE(gui::Click(page, IDC_OPEN_LOG_FOLDER));
    HWND open = gui::WaitForWindow("Hivora - Select Files");
    ASSERT_NE(open, nullptr);
    gui::SaveScreenshot("settings-open-log-folder");
    PostMessageA(open, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(gui::WaitFor([&] { return !IsWindow(open); }));

    // OK: back to the Scan Now tab.
    ASSERT_TRUE(gui::Click(page, IDC_PAGE_OK));
    EXPECT_TRUE(gui::WaitFor([&] { return !IsWindowVisible(page); }));

    // The restore point turned off shows unticked at the next start, as the repair will treat it;
    // the other boxes keep their first look.
    ASSERT_TRUE(gui::ClickButton(main, IDC_TAB_SETTINGS));
    page = PageOf(main, IDC_OPEN_LOG_FOLDER);
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(gui::SetChecked(page, IDC_OPTION_CHECK_FIRST + 5, false));
    ASSERT_TRUE(gui::SetChecked(page, IDC_OPTION_CHECK_FIRST + 6, false));
    EXPECT_TRUE(gui::WaitFor(
        [] { return ReadHivoraSetting("rstrpont") == "0" && ReadHivoraSetting("splshscrn") == "0"; }));
    EXPECT_TRUE(app.Close());
    ASSERT_TRUE(app.Start());
    main = app.MainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(gui::ClickButton(main, IDC_TAB_SETTINGS));
    page = PageOf(main, IDC_OPEN_LOG_FOLDER);
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(gui::IsChecked(page, IDC_OPTION_CHECK_FIRST + 5));
    EXPECT_TRUE(gui::IsChecked(page, IDC_OPTION_CHECK_FIRST + 6));
    EXPECT_EQ(ReadHivoraSetting("rstrpont"), "0");
    EXPECT_TRUE(app.Close());
}

TEST(SettingsPages, ScheduledTaskIsMadeEditedAndMadeAgain)
{
    const ComApartment com;
    DeleteTask();
    HivoraApp app(kScannedBefore);
    ASSERT_TRUE(app.Start());
    HWND main = app.MainWindow();
    ASSERT_NE(main, nullptr);

    // The log says which scheduler keeps the task. Wine's Task Scheduler 2.0 keeps none of the
    // triggers, the action and the run level registered, so here it is the 1.0 interfaces.
    EXPECT_TRUE(gui::WaitFor([&] {
        return LogText(app.Folder()).find("WARN --The scheduled task Hivora could not be set to run with highest "
                                          "privileges: the Task Scheduler 2.0 did not keep its triggers, its action "
                                          "and its run level; it is kept through the Task Scheduler 1.0 "
                                          "interfaces") != std::string::npos;
    })) << LogText(app.Folder());

    // The start made the task: this program with "-t", weekly on Tuesday at 03:00.
    TASK_RECORD task = ReadTask();
    ASSERT_TRUE(task.bExists);
    std::string folder = app.Folder();
    folder.pop_back();
    EXPECT_EQ(lstrcmpiA(task.strApplication.c_str(), (app.Folder() + "Hivora.exe").c_str()), 0) << task.strApplication;
    EXPECT_EQ(task.strParameters, "-t");
    EXPECT_EQ(lstrcmpiA(task.strDirectory.c_str(), folder.c_str()), 0) << task.strDirectory;
    EXPECT_EQ(task.strComment, "Runs Hivora at Scheduled Time.");
    EXPECT_EQ(task.nFlags, static_cast<DWORD>(TASK_FLAG_RUN_ONLY_IF_LOGGED_ON));
    ASSERT_EQ(task.triggers.size(), 1u);
    EXPECT_EQ(task.triggers[0].TriggerType, TASK_TIME_TRIGGER_WEEKLY);
    EXPECT_EQ(task.triggers[0].Type.Weekly.rgfDaysOfTheWeek, TASK_TUESDAY);

    HWND page = ShowSchedulePage(main);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(ScheduleLines(main), std::vector<std::string>{kDefaultText});
    gui::SaveScreenshot("settings-schedule");

    // Manage Schedule: every two days at the same time, from the program's own dialog.
    ASSERT_TRUE(gui::Click(page, IDC_MANAGE_SCHEDULE));
    HWND dialog = gui::WaitForWindow("Hivora - Schedule");
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(gui::WaitForText(dialog, IDC_SCHEDULE_PREVIEW, kDefaultText));
    gui::SaveScreenshot("schedule-dialog-weekly");
    HWND kind = GetDlgItem(dialog, IDC_SCHEDULE_KIND);
    SendMessageA(kind, CB_SETCURSEL, 1, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SCHEDULE_KIND, CBN_SELCHANGE), reinterpret_cast<LPARAM>(kind));
    SendMessageA(GetDlgItem(dialog, IDC_SCHEDULE_EVERY), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("2"));
    const char* const everyTwoDays = "At 3:00 AM every 2 days, starting 1/1/2006";
    EXPECT_TRUE(gui::WaitForText(dialog, IDC_SCHEDULE_PREVIEW, everyTwoDays));
    gui::SaveScreenshot("schedule-dialog-daily");
    ASSERT_TRUE(gui::ClickButton(dialog, IDOK));
    EXPECT_TRUE(gui::WaitFor([&] { return ScheduleLines(main) == std::vector<std::string>{everyTwoDays}; }));
    task = ReadTask();
    EXPECT_EQ(task.nFlags, static_cast<DWORD>(TASK_FLAG_RUN_ONLY_IF_LOGGED_ON | TASK_FLAG_INTERACTIVE));
    ASSERT_EQ(task.triggers.size(), 1u);
    EXPECT_EQ(task.triggers[0].TriggerType, TASK_TIME_TRIGGER_DAILY);
    EXPECT_EQ(task.triggers[0].Type.Daily.DaysInterval, 2);
    ASSERT_TRUE(app.Close());

    // Started the way the task starts it, with switching-on starts refused: no window, at once.
    WriteHivoraSetting("runhivorastartup", "0");
    ASSERT_TRUE(app.Start(task.strParameters));
    EXPECT_TRUE(app.WaitForExit());
    EXPECT_EQ(app.MainWindow(0), nullptr);

    // Deleted in the Task Scheduler, the task is made again, with its default trigger, at the next start.
    DeleteTask();
    WriteHivoraSetting("runhivorastartup", "1");
    ASSERT_TRUE(app.Start(task.strParameters));
    main = app.MainWindow();
    ASSERT_NE(main, nullptr);
    page = ShowSchedulePage(main);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(ScheduleLines(main), std::vector<std::string>{kDefaultText});

    // Deleted while the program runs: Manage Schedule makes a task without a schedule, and
    // cancelling the dialog leaves it so.
    DeleteTask();
    ASSERT_TRUE(gui::Click(page, IDC_MANAGE_SCHEDULE));
    dialog = gui::WaitForWindow("Hivora - Schedule");
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(gui::ClickButton(dialog, IDCANCEL));
    EXPECT_TRUE(gui::WaitFor(
        [&] { return ScheduleLines(main) == std::vector<std::string>{"System scan schedule is not active"}; }));
    task = ReadTask();
    EXPECT_TRUE(task.bExists);
    EXPECT_EQ(task.nFlags, static_cast<DWORD>(TASK_FLAG_RUN_ONLY_IF_LOGGED_ON));
    EXPECT_TRUE(app.Close());
}

TEST(SettingsPages, OwnScheduleDialogConfirmedUnchangedKeepsTheTrigger)
{
    const ComApartment com;
    HivoraApp app(kScannedBefore);
    const std::string program = app.Folder() + "Hivora.exe";

    // The second Friday of January and July, from a task made before the program ran.
    TASK_TRIGGER byWeekday = Trigger(TASK_TIME_TRIGGER_MONTHLYDOW);
    byWeekday.Type.MonthlyDOW.wWhichWeek = TASK_SECOND_WEEK;
    byWeekday.Type.MonthlyDOW.rgfDaysOfTheWeek = TASK_FRIDAY;
    byWeekday.Type.MonthlyDOW.rgfMonths = TASK_JANUARY | TASK_JULY;
    ASSERT_TRUE(MakeTask(program, {byWeekday}));
    ASSERT_TRUE(app.Start());
    HWND main = app.MainWindow();
    ASSERT_NE(main, nullptr);

    // Where the scheduler cannot give the task the highest run level, the start says so in the
    // log and leaves the task as it was.
    EXPECT_TRUE(gui::WaitFor([&] {
        return LogText(app.Folder()).find("WARN --The scheduled task Hivora could not be set to run with highest "
                                          "privileges") != std::string::npos;
    })) << LogText(app.Folder());
    TASK_RECORD task = ReadTask();
    ASSERT_EQ(task.triggers.size(), 1u);
    ExpectSameTrigger(task.triggers[0], byWeekday);

    HWND page = ShowSchedulePage(main);
    ASSERT_NE(page, nullptr);
    const std::vector<std::string> lines = ScheduleLines(main);
    ASSERT_EQ(lines.size(), 1u);

    const char* const byWeekdayText =
        "At 9:15 PM on the second Fri of Jan, Jul, starting 3/1/2024, ending 12/31/2030, every 30 minutes for 120 "
        "minutes";
    ASSERT_TRUE(gui::Click(page, IDC_MANAGE_SCHEDULE));
    HWND dialog = gui::WaitForWindow("Hivora - Schedule");
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(gui::WaitForText(dialog, IDC_SCHEDULE_PREVIEW, byWeekdayText));
    EXPECT_EQ(gui::Text(GetDlgItem(dialog, IDC_SCHEDULE_KIND)), "Monthly on a weekday");
    EXPECT_EQ(gui::Text(GetDlgItem(dialog, IDC_SCHEDULE_WEEK)), "second");
    for (int box = 0; box < 7; ++box)
        EXPECT_EQ(gui::IsChecked(dialog, IDC_SCHEDULE_DAY_FIRST + box), box == 4) << box;
    gui::SaveScreenshot("schedule-dialog-monthly-weekday");
    ASSERT_TRUE(gui::ClickButton(dialog, IDOK));
    EXPECT_TRUE(gui::WaitFor([&] { return !IsWindow(dialog); }));
    EXPECT_TRUE(gui::WaitFor([&] { return ReadTask().nFlags == (TASK_FLAG_RUN_ONLY_IF_LOGGED_ON | TASK_FLAG_INTERACTIVE); }));
    task = ReadTask();
    ASSERT_EQ(task.triggers.size(), 1u);
    ExpectSameTrigger(task.triggers[0], byWeekday);
    EXPECT_EQ(ScheduleLines(main), lines);
    gui::SaveScreenshot("settings-schedule-long-line");

    // Days 1, 15 and 31 of February and November: the day field shows the first of them.
    TASK_TRIGGER byDate = Trigger(TASK_TIME_TRIGGER_MONTHLYDATE);
    byDate.Type.MonthlyDate.rgfDays = 1u | (1u << 14) | (1u << 30);
    byDate.Type.MonthlyDate.rgfMonths = TASK_FEBRUARY | TASK_NOVEMBER;
    ASSERT_TRUE(MakeTask(program, {byDate}));
    ASSERT_TRUE(gui::Click(page, IDC_MANAGE_SCHEDULE));
    dialog = gui::WaitForWindow("Hivora - Schedule");
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(gui::WaitForText(dialog, IDC_SCHEDULE_PREVIEW,
                                 "At 9:15 PM on day 1, 15, 31 of Feb, Nov, starting 3/1/2024, ending 12/31/2030, "
                                 "every 30 minutes for 120 minutes"));
    EXPECT_EQ(gui::Text(GetDlgItem(dialog, IDC_SCHEDULE_KIND)), "Monthly");
    EXPECT_EQ(gui::Text(GetDlgItem(dialog, IDC_SCHEDULE_EVERY)), "1");
    EXPECT_EQ(gui::Text(GetDlgItem(dialog, IDC_SCHEDULE_EVERY_UNIT)), "and 15, 31 of the month(s)");
    gui::SaveScreenshot("schedule-dialog-monthly-date");
    ASSERT_TRUE(gui::ClickButton(dialog, IDOK));
    EXPECT_TRUE(gui::WaitFor([&] { return ReadTask().nFlags == (TASK_FLAG_RUN_ONLY_IF_LOGGED_ON | TASK_FLAG_INTERACTIVE); }));
    task = ReadTask();
    ASSERT_EQ(task.triggers.size(), 1u);
    ExpectSameTrigger(task.triggers[0], byDate);

    // A kind the dialog does not edit is offered as it is.
    TASK_TRIGGER atLogon = Trigger(TASK_EVENT_TRIGGER_AT_LOGON);
    ASSERT_TRUE(MakeTask(program, {atLogon}));
    ASSERT_TRUE(gui::Click(page, IDC_MANAGE_SCHEDULE));
    dialog = gui::WaitForWindow("Hivora - Schedule");
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(gui::WaitForText(dialog, IDC_SCHEDULE_PREVIEW, "At logon"));
    EXPECT_EQ(gui::Text(GetDlgItem(dialog, IDC_SCHEDULE_KIND)), "At logon");
    gui::SaveScreenshot("schedule-dialog-at-logon", dialog);
    ASSERT_TRUE(gui::ClickButton(dialog, IDOK));
    EXPECT_TRUE(gui::WaitFor([&] { return ReadTask().nFlags == (TASK_FLAG_RUN_ONLY_IF_LOGGED_ON | TASK_FLAG_INTERACTIVE); }));
    task = ReadTask();
    ASSERT_EQ(task.triggers.size(), 1u);
    ExpectSameTrigger(task.triggers[0], atLogon);
    EXPECT_TRUE(app.Close());
    DeleteTask();
}
