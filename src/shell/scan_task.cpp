#include "shell/scan_task.h"

#include <mstask.h>
#include <prsht.h>

#include <cstdio>

#include "framework/com_ptr.h"
#include "framework/paths.h"
#include "framework/wide_text.h"
#include "shell/logfile.h"
#include "shell/schedule_dialog.h"
#include "shell/task_service.h"
#include "shell/task_xml.h"
#include "shell/trigger_text.h"

namespace {

constexpr DWORD kFlagsCreated = TASK_FLAG_RUN_ONLY_IF_LOGGED_ON;
constexpr DWORD kFlagsConfirmed = TASK_FLAG_RUN_ONLY_IF_LOGGED_ON | TASK_FLAG_INTERACTIVE;

// The trigger begins today: a new trigger, or one whose own start the program does not keep.
void BeginToday(SCHEDULE_TRIGGER& schedule)
{
    SYSTEMTIME today{};
    GetLocalTime(&today);
    schedule.nBeginYear = today.wYear;
    schedule.nBeginMonth = today.wMonth;
    schedule.nBeginDay = today.wDay;
}

void Report(const char* text, HRESULT hr)
{
    std::fprintf(stderr, "%serror = 0x%x\n", text, static_cast<unsigned>(hr));
    std::fflush(stderr);
}

ComPtr<ITaskScheduler> OpenScheduler()
{
    ComPtr<ITaskScheduler> scheduler;
    if (FAILED(CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                                scheduler.put())))
        scheduler.reset();
    return scheduler;
}

HRESULT ActivateTask(ITaskScheduler* scheduler, const std::string& name, ComPtr<ITask>& task)
{
    return scheduler->Activate(Widen(name).c_str(), IID_ITask, reinterpret_cast<IUnknown**>(task.put()));
}

ComPtr<ITask> ActivateForEditing(ITaskScheduler* scheduler, const std::string& name)
{
    ComPtr<ITask> task;
    const HRESULT hr = ActivateTask(scheduler, name, task);
    if (FAILED(hr)) {
        Report("Failed calling Editing, ", hr);
        task.reset();
    }
    return task;
}

// Writes the task back to its own file.
bool SaveTask(ITask* task)
{
    ComPtr<IPersistFile> file;
    HRESULT hr = task->QueryInterface(IID_IPersistFile, file.put());
    if (FAILED(hr)) {
        Report("Failed calling QueryInterface, ", hr);
        return false;
    }
    hr = file->Save(nullptr, TRUE);
    if (FAILED(hr)) {
        Report("Failed calling Save, ", hr);
        return false;
    }
    return true;
}

std::string UserName()
{
    char name[256] = "";
    DWORD size = sizeof name;
    return GetUserNameA(name, &size) ? std::string(name) : std::string();
}

SCHEDULE_TRIGGER FromTaskTrigger(const TASK_TRIGGER& t)
{
    SCHEDULE_TRIGGER s;
    s.nBeginYear = t.wBeginYear;
    s.nBeginMonth = t.wBeginMonth;
    s.nBeginDay = t.wBeginDay;
    s.nEndYear = t.wEndYear;
    s.nEndMonth = t.wEndMonth;
    s.nEndDay = t.wEndDay;
    s.nStartHour = t.wStartHour;
    s.nStartMinute = t.wStartMinute;
    s.nDurationMinutes = t.MinutesDuration;
    s.nIntervalMinutes = t.MinutesInterval;
    s.nFlags = t.rgFlags;
    s.nKind = t.TriggerType;
    switch (t.TriggerType) {
    case TASK_TIME_TRIGGER_DAILY:
        s.nDaysInterval = t.Type.Daily.DaysInterval;
        break;
    case TASK_TIME_TRIGGER_WEEKLY:
        s.nWeeksInterval = t.Type.Weekly.WeeksInterval;
        s.nDaysOfWeek = t.Type.Weekly.rgfDaysOfTheWeek;
        break;
    case TASK_TIME_TRIGGER_MONTHLYDATE:
        s.nDaysOfMonth = t.Type.MonthlyDate.rgfDays;
        s.nMonths = t.Type.MonthlyDate.rgfMonths;
        break;
    case TASK_TIME_TRIGGER_MONTHLYDOW:
        s.nWhichWeek = t.Type.MonthlyDOW.wWhichWeek;
        s.nDaysOfWeek = t.Type.MonthlyDOW.rgfDaysOfTheWeek;
        s.nMonths = t.Type.MonthlyDOW.rgfMonths;
        break;
    default:
        break;
    }
    return s;
}

// The schedule over base, whose fields the schedule does not tell (the random delay) it keeps.
TASK_TRIGGER ToTaskTrigger(const SCHEDULE_TRIGGER& s, const TASK_TRIGGER& base)
{
    TASK_TRIGGER t = base;
    t.cbTriggerSize = sizeof t;
    t.Type = TRIGGER_TYPE_UNION{};
    t.wBeginYear = static_cast<WORD>(s.nBeginYear);
    t.wBeginMonth = static_cast<WORD>(s.nBeginMonth);
    t.wBeginDay = static_cast<WORD>(s.nBeginDay);
    t.wEndYear = static_cast<WORD>(s.nEndYear);
    t.wEndMonth = static_cast<WORD>(s.nEndMonth);
    t.wEndDay = static_cast<WORD>(s.nEndDay);
    t.wStartHour = static_cast<WORD>(s.nStartHour);
    t.wStartMinute = static_cast<WORD>(s.nStartMinute);
    t.MinutesDuration = s.nDurationMinutes;
    t.MinutesInterval = s.nIntervalMinutes;
    t.rgFlags = s.nFlags;
    t.TriggerType = static_cast<TASK_TRIGGER_TYPE>(s.nKind);
    switch (s.nKind) {
    case SCHEDULE_DAILY:
        t.Type.Daily.DaysInterval = static_cast<WORD>(s.nDaysInterval);
        break;
    case SCHEDULE_WEEKLY:
        t.Type.Weekly.WeeksInterval = static_cast<WORD>(s.nWeeksInterval);
        t.Type.Weekly.rgfDaysOfTheWeek = static_cast<WORD>(s.nDaysOfWeek);
        break;
    case SCHEDULE_MONTHLY_DATE:
        t.Type.MonthlyDate.rgfDays = s.nDaysOfMonth;
        t.Type.MonthlyDate.rgfMonths = static_cast<WORD>(s.nMonths);
        break;
    case SCHEDULE_MONTHLY_DOW:
        t.Type.MonthlyDOW.wWhichWeek = static_cast<WORD>(s.nWhichWeek);
        t.Type.MonthlyDOW.rgfDaysOfTheWeek = static_cast<WORD>(s.nDaysOfWeek);
        t.Type.MonthlyDOW.rgfMonths = static_cast<WORD>(s.nMonths);
        break;
    default:
        break;
    }
    return t;
}

TASK_TRIGGER DefaultTrigger()
{
    TASK_TRIGGER t{};
    t.cbTriggerSize = sizeof t;
    return ToTaskTrigger(DefaultScanTrigger(), t);
}

bool IsActive(ITaskTrigger* trigger, TASK_TRIGGER& data)
{
    data = TASK_TRIGGER{};
    data.cbTriggerSize = sizeof data;
    return SUCCEEDED(trigger->GetTrigger(&data)) && !(data.rgFlags & TASK_TRIGGER_FLAG_DISABLED);
}

// The program's own schedule dialog over the task's first active trigger (or over the disabled
// one the scheduler may keep in a task saved without triggers, or over a new one); saves the task
// when the user confirms.
bool EditWithOwnDialog(ITask* task, HWND owner)
{
    WORD count = 0;
    if (FAILED(task->GetTriggerCount(&count)))
        count = 0;
    ComPtr<ITaskTrigger> edited;
    TASK_TRIGGER data{};
    for (WORD i = 0; i < count && !edited; ++i) {
        ComPtr<ITaskTrigger> trigger;
        if (SUCCEEDED(task->GetTrigger(i, trigger.put_typed())) && IsActive(trigger.get(), data))
            edited = std::move(trigger);
    }
    if (!edited && count > 0 && SUCCEEDED(task->GetTrigger(0, edited.put_typed())))
        IsActive(edited.get(), data);
    SCHEDULE_TRIGGER schedule = FromTaskTrigger(data);
    if (!edited || (data.rgFlags & TASK_TRIGGER_FLAG_DISABLED)) {
        schedule = DefaultScanTrigger();
        BeginToday(schedule);
    }

    CScheduleDlg dialog(schedule);
    if (dialog.DoModal(owner) != IDOK)
        return false;

    if (!edited) {
        WORD index = 0;
        const HRESULT hr = task->CreateTrigger(&index, edited.put_typed());
        if (FAILED(hr)) {
            // "CreatTrigger" is deliberate: the message is known in this form.
            Report("Failed calling ITask::CreatTrigger: ", hr);
            return false;
        }
    }
    TASK_TRIGGER changed = ToTaskTrigger(schedule, data);
    const HRESULT hr = edited->SetTrigger(&changed);
    if (FAILED(hr)) {
        Report("Failed calling ITaskTrigger::SetTrigger: ", hr);
        return false;
    }
    return SaveTask(task);
}

// The system's schedule page of the task alone in a property sheet; true when confirmed.
bool EditWithSystemPage(IProvideTaskPage* pages, HWND owner)
{
    HPROPSHEETPAGE page = nullptr;
    const HRESULT hr = pages->GetPage(TASKPAGE_SCHEDULE, TRUE, &page);
    if (FAILED(hr)) {
        Report("Failed calling IProvideTaskPage::GetPage: ", hr);
        return false;
    }
    PROPSHEETHEADERA sheet{};
    sheet.dwSize = sizeof sheet;
    sheet.dwFlags = PSH_DEFAULT | PSH_NOAPPLYNOW;
    sheet.hwndParent = owner;
    sheet.nPages = 1;
    sheet.phpage = &page;
    if (PropertySheetA(&sheet) > 0)
        return true;
    std::fprintf(stderr, "Failed to create the property page: 0x%x\n", static_cast<unsigned>(GetLastError()));
    std::fflush(stderr);
    return false;
}

// The triggers of the task as the 1.0 interfaces keep it; false when they do not have it.
bool ReadLegacyTriggers(const std::string& name, std::vector<SCHEDULE_TRIGGER>& triggers)
{
    const ComApartment com;
    ComPtr<ITaskScheduler> scheduler = OpenScheduler();
    ComPtr<ITask> task;
    WORD count = 0;
    if (!scheduler || FAILED(ActivateTask(scheduler.get(), name, task)) || FAILED(task->GetTriggerCount(&count)))
        return false;
    for (WORD i = 0; i < count; ++i) {
        ComPtr<ITaskTrigger> trigger;
        TASK_TRIGGER data{};
        data.cbTriggerSize = sizeof data;
        if (SUCCEEDED(task->GetTrigger(i, trigger.put_typed())) && SUCCEEDED(trigger->GetTrigger(&data)))
            triggers.push_back(FromTaskTrigger(data));
    }
    return true;
}

// Makes the 2.0 interfaces hold the task as the program registers it (EnsureScanTaskV2), with the
// triggers of a task the 1.0 interfaces keep apart, and logs which scheduler keeps it. True when
// the 2.0 interfaces do; hasLegacy tells whether the 1.0 interfaces have a task of that name.
bool KeepWithTaskService(const std::string& name, const std::string& comment, const std::string& workingDirectory,
                         bool withDefault, bool& hasLegacy)
{
    std::vector<SCHEDULE_TRIGGER> legacy;
    hasLegacy = ReadLegacyTriggers(name, legacy);
    std::string reason;
    const bool kept = EnsureScanTaskV2(name, ProgramTaskSetup(workingDirectory, comment),
                                       hasLegacy ? &legacy : nullptr, withDefault, reason);
    LogScanTaskPath(name, kept ? std::string() : reason);
    return kept;
}

// The task as the 2.0 interfaces hold it, when they hold it as the program registers it.
struct CURRENT_TASK {
    TASK_XML task;
    std::wstring strXml;
};

bool ReadCurrentTask(const std::string& name, CURRENT_TASK& current)
{
    std::string reason;
    return ReadRegisteredTask(name, current.task, current.strXml, reason) == TASK_FOUND &&
           IsCurrentScanTask(current.task, WideToUtf8(Widen(ProgramPath())));
}

// The program's own schedule dialog over the task's first active trigger the dialog knows (a new
// one when there is none); the other triggers are registered again as they are.
bool EditCurrentTask(const std::string& name, const CURRENT_TASK& current, HWND owner)
{
    const std::vector<TASK_XML_TRIGGER>& triggers = current.task.triggers;
    size_t edited = triggers.size();
    for (size_t i = 0; i < triggers.size() && edited == triggers.size(); ++i)
        if (triggers[i].bSchedule && triggers[i].bEnabled)
            edited = i;
    SCHEDULE_TRIGGER schedule = DefaultScanTrigger();
    if (edited < triggers.size()) {
        schedule = triggers[edited].schedule;
    } else {
        BeginToday(schedule);
    }
    CScheduleDlg dialog(schedule);
    if (dialog.DoModal(owner) != IDOK)
        return false;

    std::vector<XML_ELEMENT> elements;
    for (size_t i = 0; i < triggers.size(); ++i)
        elements.push_back(i == edited ? ScheduleTriggerElement(schedule, &triggers[i].element) : triggers[i].element);
    if (edited == triggers.size())
        elements.push_back(ScheduleTriggerElement(schedule));
    SCAN_TASK_SETUP setup = ProgramTaskSetup({}, {});
    setup.strWorkingDirectory = current.task.strWorkingDirectory;
    setup.strDescription = current.task.strDescription;
    std::string reason;
    if (!RegisterScanTask(name, BuildScanTaskXml(setup, elements), &current.strXml, reason)) {
        LogMessage("The schedule of the scheduled task " + name + " could not be changed: " + reason, LOG_WARN);
        return false;
    }
    return true;
}

} // namespace

bool ScanTaskExists(const std::string& name)
{
    const ComApartment com;
    ComPtr<ITaskScheduler> scheduler = OpenScheduler();
    ComPtr<ITask> task;
    return scheduler && SUCCEEDED(ActivateTask(scheduler.get(), name, task));
}

bool CreateScanTask(const std::string& name, const std::string& workingDirectory, const std::string& comment)
{
    const ComApartment com;
    ComPtr<ITaskScheduler> scheduler = OpenScheduler();
    if (!scheduler)
        return false;
    ComPtr<ITask> task;
    HRESULT hr = scheduler->NewWorkItem(Widen(name).c_str(), CLSID_CTask, IID_ITask,
                                        reinterpret_cast<IUnknown**>(task.put()));
    if (FAILED(hr)) {
        Report("Failed calling NewWorkItem, ", hr);
        return false;
    }
    const auto set = [](const char* call, HRESULT result) {
        if (SUCCEEDED(result))
            return true;
        Report((std::string("Failed calling ITask::") + call + ": ").c_str(), result);
        return false;
    };
    // Each setter runs only after the one before it succeeded: the first failure ends the creation.
    if (!set("SetApplicationName", task->SetApplicationName(Widen(ProgramPath()).c_str())) ||
        !set("SetWorkingDirectory", task->SetWorkingDirectory(Widen(workingDirectory).c_str())) ||
        !set("SetFlags", task->SetFlags(kFlagsCreated)) ||
        !set("SetAccountInformation", task->SetAccountInformation(Widen(UserName()).c_str(), nullptr)) ||
        !set("SetComment", task->SetComment(Widen(comment).c_str())) || !set("SetParameters", task->SetParameters(L"-t")))
        return false;
    return SaveTask(task.get());
}

void EnsureDefaultScanTask(const std::string& name, const std::string& comment, const std::string& workingDirectory)
{
    bool hasLegacy = false;
    if (KeepWithTaskService(name, comment, workingDirectory, true, hasLegacy) || hasLegacy ||
        !CreateScanTask(name, workingDirectory, comment))
        return;
    const ComApartment com;
    ComPtr<ITaskScheduler> scheduler = OpenScheduler();
    if (!scheduler)
        return;
    ComPtr<ITask> task;
    HRESULT hr = ActivateTask(scheduler.get(), name, task);
    if (FAILED(hr)) {
        Report("Failed calling ITaskScheduler::Activate: ", hr);
        return;
    }
    // A scheduler may store a disabled stand-in trigger in a task saved without triggers; the new
    // task is to start with the default trigger alone.
    WORD count = 0;
    while (SUCCEEDED(task->GetTriggerCount(&count)) && count > 0 && SUCCEEDED(task->DeleteTrigger(0))) {
    }
    ComPtr<ITaskTrigger> trigger;
    WORD index = 0;
    hr = task->CreateTrigger(&index, trigger.put_typed());
    if (FAILED(hr)) {
        Report("Failed calling ITask::CreatTrigger: ", hr);
        return;
    }
    TASK_TRIGGER data = DefaultTrigger();
    hr = trigger->SetTrigger(&data);
    if (FAILED(hr)) {
        Report("Failed calling ITaskTrigger::SetTrigger: ", hr);
        return;
    }
    if (!SaveTask(task.get()))
        return;
    std::fprintf(stderr, "The trigger was created and IPersistFile::Save was \n");
    std::fprintf(stderr, "called to save the new trigger to disk.\n");
    std::fflush(stderr);
}

bool EditScanSchedule(const std::string& name, HWND owner)
{
    CURRENT_TASK current;
    if (ReadCurrentTask(name, current))
        return EditCurrentTask(name, current, owner);
    const ComApartment com;
    ComPtr<ITaskScheduler> scheduler = OpenScheduler();
    if (!scheduler)
        return false;
    ComPtr<ITask> task = ActivateForEditing(scheduler.get(), name);
    if (!task)
        return false;
    ComPtr<IProvideTaskPage> pages;
    HRESULT hr = task->QueryInterface(IID_IProvideTaskPage, pages.put());
    bool confirmed = false;
    if (SUCCEEDED(hr))
        confirmed = EditWithSystemPage(pages.get(), owner);
    else if (hr == E_NOINTERFACE)
        confirmed = EditWithOwnDialog(task.get(), owner);
    else
        Report("Failed calling ITask::QueryInterface: ", hr);
    if (!confirmed)
        return false;

    task = ActivateForEditing(scheduler.get(), name);
    if (!task)
        return false;
    hr = task->SetFlags(kFlagsConfirmed);
    if (FAILED(hr)) {
        Report("Failed calling ITask::SetFlags: ", hr);
        return false;
    }
    return SaveTask(task.get());
}

bool ListScanTriggers(const std::string& name, std::vector<std::string>& list)
{
    const size_t before = list.size();
    CURRENT_TASK current;
    if (ReadCurrentTask(name, current)) {
        // A disabled trigger never starts the program: it is no part of the schedule shown.
        for (const TASK_XML_TRIGGER& trigger : current.task.triggers)
            if (trigger.bEnabled)
                list.push_back(TriggerListText(trigger));
        return list.size() > before;
    }
    const ComApartment com;
    ComPtr<ITaskScheduler> scheduler = OpenScheduler();
    ComPtr<ITask> task;
    if (!scheduler || FAILED(ActivateTask(scheduler.get(), name, task)))
        return false;
    WORD count = 0;
    if (FAILED(task->GetTriggerCount(&count)))
        return false;
    for (WORD i = 0; i < count; ++i) {
        ComPtr<ITaskTrigger> trigger;
        TASK_TRIGGER data{};
        // A disabled trigger never starts the program: it is no part of the schedule shown.
        if (FAILED(task->GetTrigger(i, trigger.put_typed())) || !IsActive(trigger.get(), data))
            continue;
        LPWSTR text = nullptr;
        if (SUCCEEDED(trigger->GetTriggerString(&text)) && text) {
            list.push_back(Narrow(text));
            CoTaskMemFree(text);
        } else {
            list.push_back(ComposeTriggerText(FromTaskTrigger(data)));
        }
    }
    return list.size() > before;
}

void ManageScanSchedule(const std::string& name, const std::string& comment, const std::string& workingDirectory,
                        HWND owner)
{
    bool hasLegacy = false;
    if (!KeepWithTaskService(name, comment, workingDirectory, false, hasLegacy) && !hasLegacy &&
        !CreateScanTask(name, workingDirectory, comment))
        return;
    EditScanSchedule(name, owner);
}
