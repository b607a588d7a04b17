#include "shell/task_xml.h"

#include <cstdlib>

#include "framework/format.h"
#include "shell/run_level.h"

// The element names, their order and the value texts follow the Task Scheduler schema
// (learn.microsoft.com/windows/win32/taskschd/task-scheduler-schema): triggerBaseType is the
// sequence Enabled, StartBoundary, EndBoundary, Repetition, ExecutionTimeLimit; CalendarTrigger
// holds one of ScheduleByDay, ScheduleByWeek, ScheduleByMonth, ScheduleByMonthDayOfWeek; runLevelType
// is "LeastPrivilege" or "HighestAvailable"; the task's version attribute 1.2 is Task Scheduler 2.0
// (TASK_COMPATIBILITY_V2 = 2, ne-taskschd-task_compatibility).

namespace {

const char* const kTaskNamespace = "http://schemas.microsoft.com/windows/2004/02/mit/task";
const char* const kHighest = "HighestAvailable";
const char* const kInteractiveToken = "InteractiveToken";

const char* const kDayNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const kMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                     "July",    "August",   "September", "October", "November", "December"};
const char* const kCompatibilityNames[7] = {"AT", "V1", "V2", "V2_1", "V2_2", "V2_3", "V2_4"};

// The children a schedule tells; the rest of a trigger element is kept when it is built again.
const char* const kScheduleChildren[] = {"Enabled",         "StartBoundary",  "EndBoundary",
                                         "Repetition",      "ScheduleByDay",  "ScheduleByWeek",
                                         "ScheduleByMonth", "ScheduleByMonthDayOfWeek"};

std::string Escape(const std::string& text, bool attribute)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += attribute ? "&quot;" : "\""; break;
        default: out += c; break;
        }
    }
    return out;
}

XML_ELEMENT Element(const std::string& name, const std::string& text = {})
{
    XML_ELEMENT e;
    e.strName = name;
    e.strText = text;
    return e;
}

// text without the white space XML may put around it.
std::string Trimmed(const std::string& text)
{
    const size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string::npos)
        return {};
    return text.substr(start, text.find_last_not_of(" \t\r\n") - start + 1);
}

bool IsTrue(const std::string& text)
{
    return text == "true" || text == "1";
}

bool IsFalse(const std::string& text)
{
    return text == "false" || text == "0";
}

// A whole number of digits within [low, high].
bool ReadNumber(const std::string& text, int low, int high, int& value)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::atoi(text.c_str());
    return value >= low && value <= high;
}

// "YYYY-MM-DDTHH:MM:SS", followed by fractions or a time zone, which the day and minute do not need.
bool ReadDateTime(const std::string& text, int& year, int& month, int& day, int& hour, int& minute)
{
    if (text.size() < 16 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':')
        return false;
    return ReadNumber(text.substr(0, 4), 1601, 9999, year) && ReadNumber(text.substr(5, 2), 1, 12, month) &&
           ReadNumber(text.substr(8, 2), 1, 31, day) && ReadNumber(text.substr(11, 2), 0, 23, hour) &&
           ReadNumber(text.substr(14, 2), 0, 59, minute);
}

// An xs:duration of weeks, days, hours, minutes and seconds, in whole minutes. Years and months
// have no fixed length: such a duration is not read.
bool ReadDuration(const std::string& text, uint32_t& minutes)
{
    if (text.size() < 3 || text[0] != 'P')
        return false;
    unsigned long long total = 0;  // seconds
    bool time = false;
    bool any = false;
    unsigned long long number = 0;
    bool digits = false;
    for (size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            number = number * 10 + static_cast<unsigned>(c - '0');
            digits = true;
            if (number > 100000000ull)
                return false;
            continue;
        }
        if (c == 'T' && !time && !digits) {
            time = true;
            continue;
        }
        if (!digits)
            return false;
        unsigned long long unit = 0;
        if (!time && c == 'W')
            unit = 7 * 86400;
        else if (!time && c == 'D')
            unit = 86400;
        else if (time && c == 'H')
            unit = 3600;
        else if (time && c == 'M')
            unit = 60;
        else if (time && c == 'S')
            unit = 1;
        else
            return false;
        total += number * unit;
        number = 0;
        digits = false;
        any = true;
    }
    if (digits || !any || total / 60 > 0xFFFFFFFFull)
        return false;
    minutes = static_cast<uint32_t>(total / 60);
    return true;
}

// The set bits of names present as children of list (DaysOfWeek, Months).
bool ReadNamedBits(const XML_ELEMENT* list, const char* const* names, int count, unsigned& bits)
{
    bits = 0;
    if (!list)
        return true;
    for (const XML_ELEMENT& child : list->children) {
        int i = 0;
        while (i < count && child.strName != names[i])
            ++i;
        if (i == count)
            return false;
        bits |= 1u << i;
    }
    return true;
}

XML_ELEMENT NamedBits(const char* listName, unsigned bits, const char* const* names, int count)
{
    XML_ELEMENT list = Element(listName);
    for (int i = 0; i < count; ++i)
        if (bits & (1u << i))
            list.children.push_back(Element(names[i]));
    return list;
}

// The calendar part of a CalendarTrigger.
bool ReadCalendar(const XML_ELEMENT& trigger, SCHEDULE_TRIGGER& s)
{
    int number = 0;
    if (const XML_ELEMENT* byDay = trigger.Child("ScheduleByDay")) {
        s.nKind = SCHEDULE_DAILY;
        const std::string interval = byDay->ChildText("DaysInterval");
        s.nDaysInterval = 1;
        return interval.empty() || ReadNumber(interval, 1, 365, s.nDaysInterval);
    }
    if (const XML_ELEMENT* byWeek = trigger.Child("ScheduleByWeek")) {
        s.nKind = SCHEDULE_WEEKLY;
        const std::string interval = byWeek->ChildText("WeeksInterval");
        s.nWeeksInterval = 1;
        return (interval.empty() || ReadNumber(interval, 1, 52, s.nWeeksInterval)) &&
               ReadNamedBits(byWeek->Child("DaysOfWeek"), kDayNames, 7, s.nDaysOfWeek);
    }
    if (const XML_ELEMENT* byMonth = trigger.Child("ScheduleByMonth")) {
        s.nKind = SCHEDULE_MONTHLY_DATE;
        if (const XML_ELEMENT* days = byMonth->Child("DaysOfMonth")) {
            for (const XML_ELEMENT& day : days->children) {
                // "Last" has no form in the schedule the dialog edits.
                if (day.strName != "Day" || !ReadNumber(Trimmed(day.strText), 1, 31, number))
                    return false;
                s.nDaysOfMonth |= 1u << (number - 1);
            }
        }
        return ReadNamedBits(byMonth->Child("Months"), kMonthNames, 12, s.nMonths);
    }
    if (const XML_ELEMENT* byWeekday = trigger.Child("ScheduleByMonthDayOfWeek")) {
        s.nKind = SCHEDULE_MONTHLY_DOW;
        const XML_ELEMENT* weeks = byWeekday->Child("Weeks");
        // One week of the month, as the schedule holds it.
        if (!weeks || weeks->children.size() != 1 || weeks->children[0].strName != "Week")
            return false;
        const std::string week = Trimmed(weeks->children[0].strText);
        if (week == "Last")
            s.nWhichWeek = 5;
        else if (!ReadNumber(week, 1, 4, s.nWhichWeek))
            return false;
        return ReadNamedBits(byWeekday->Child("DaysOfWeek"), kDayNames, 7, s.nDaysOfWeek) &&
               ReadNamedBits(byWeekday->Child("Months"), kMonthNames, 12, s.nMonths);
    }
    return false;
}

// The schedule of a trigger element; false for a kind the schedule cannot hold.
bool ReadSchedule(const XML_ELEMENT& trigger, SCHEDULE_TRIGGER& s)
{
    s = SCHEDULE_TRIGGER{};
    const std::string start = trigger.ChildText("StartBoundary");
    if (!start.empty() && !ReadDateTime(start, s.nBeginYear, s.nBeginMonth, s.nBeginDay, s.nStartHour, s.nStartMinute))
        return false;
    const std::string end = trigger.ChildText("EndBoundary");
    int hour = 0, minute = 0;
    if (!end.empty()) {
        if (!ReadDateTime(end, s.nEndYear, s.nEndMonth, s.nEndDay, hour, minute))
            return false;
        s.nFlags |= kScheduleHasEndDate;
    }
    if (IsFalse(trigger.ChildText("Enabled")))
        s.nFlags |= kScheduleDisabled;
    if (const XML_ELEMENT* repetition = trigger.Child("Repetition")) {
        // A repetition without end has no form in the schedule.
        if (!ReadDuration(repetition->ChildText("Interval"), s.nIntervalMinutes) ||
            !ReadDuration(repetition->ChildText("Duration"), s.nDurationMinutes))
            return false;
        if (IsTrue(repetition->ChildText("StopAtDurationEnd")))
            s.nFlags |= kScheduleKillAtDurationEnd;
    }
    const std::string& name = trigger.strName;
    if (name == "BootTrigger")
        s.nKind = SCHEDULE_AT_SYSTEM_START;
    else if (name == "LogonTrigger")
        s.nKind = SCHEDULE_AT_LOGON;
    else if (name == "IdleTrigger")
        s.nKind = SCHEDULE_ON_IDLE;
    else if (name == "TimeTrigger")
        s.nKind = SCHEDULE_ONCE;
    else if (name != "CalendarTrigger" || !ReadCalendar(trigger, s))
        return false;
    // A trigger by the clock starts at its start boundary.
    return !start.empty() || s.nKind == SCHEDULE_AT_SYSTEM_START || s.nKind == SCHEDULE_AT_LOGON ||
           s.nKind == SCHEDULE_ON_IDLE;
}

const char* ElementName(int kind)
{
    switch (kind) {
    case SCHEDULE_ONCE: return "TimeTrigger";
    case SCHEDULE_ON_IDLE: return "IdleTrigger";
    case SCHEDULE_AT_SYSTEM_START: return "BootTrigger";
    case SCHEDULE_AT_LOGON: return "LogonTrigger";
    default: return "CalendarTrigger";
    }
}

XML_ELEMENT CalendarElement(const SCHEDULE_TRIGGER& s)
{
    XML_ELEMENT e;
    switch (s.nKind) {
    case SCHEDULE_DAILY:
        e = Element("ScheduleByDay");
        e.children.push_back(Element("DaysInterval", Format("%d", s.nDaysInterval > 0 ? s.nDaysInterval : 1)));
        break;
    case SCHEDULE_WEEKLY:
        e = Element("ScheduleByWeek");
        e.children.push_back(Element("WeeksInterval", Format("%d", s.nWeeksInterval > 0 ? s.nWeeksInterval : 1)));
        e.children.push_back(NamedBits("DaysOfWeek", s.nDaysOfWeek, kDayNames, 7));
        break;
    case SCHEDULE_MONTHLY_DATE: {
        e = Element("ScheduleByMonth");
        XML_ELEMENT days = Element("DaysOfMonth");
        for (int day = 1; day <= 31; ++day)
            if (s.nDaysOfMonth & (1u << (day - 1)))
                days.children.push_back(Element("Day", Format("%d", day)));
        e.children.push_back(days);
        e.children.push_back(NamedBits("Months", s.nMonths, kMonthNames, 12));
        break;
    }
    default: {
        e = Element("ScheduleByMonthDayOfWeek");
        XML_ELEMENT weeks = Element("Weeks");
        weeks.children.push_back(
            Element("Week", s.nWhichWeek >= 1 && s.nWhichWeek <= 4 ? Format("%d", s.nWhichWeek) : "Last"));
        e.children.push_back(weeks);
        e.children.push_back(NamedBits("DaysOfWeek", s.nDaysOfWeek, kDayNames, 7));
        e.children.push_back(NamedBits("Months", s.nMonths, kMonthNames, 12));
        break;
    }
    }
    return e;
}

bool IsScheduleChild(const std::string& name)
{
    for (const char* known : kScheduleChildren)
        if (name == known)
            return true;
    return false;
}

bool SameSchedule(const SCHEDULE_TRIGGER& a, const SCHEDULE_TRIGGER& b)
{
    return a.nKind == b.nKind && a.nBeginYear == b.nBeginYear && a.nBeginMonth == b.nBeginMonth &&
           a.nBeginDay == b.nBeginDay && a.nStartHour == b.nStartHour && a.nStartMinute == b.nStartMinute &&
           a.nEndYear == b.nEndYear && a.nEndMonth == b.nEndMonth && a.nEndDay == b.nEndDay &&
           a.nDurationMinutes == b.nDurationMinutes && a.nIntervalMinutes == b.nIntervalMinutes &&
           a.nFlags == b.nFlags && a.nDaysInterval == b.nDaysInterval && a.nWeeksInterval == b.nWeeksInterval &&
           a.nDaysOfWeek == b.nDaysOfWeek && a.nDaysOfMonth == b.nDaysOfMonth && a.nMonths == b.nMonths &&
           a.nWhichWeek == b.nWhichWeek;
}

// The action as the run-level rules see it, for the command line program "-t".
SCHEDULED_TASK_STATE ActionState(const TASK_XML& task)
{
    SCHEDULED_TASK_STATE state;
    state.nRunLevel = kRunLevelHighest;
    state.nActions = task.nActions;
    state.bExecAction = task.bExecAction;
    state.strCommand = task.strCommand;
    state.strArguments = task.strArguments;
    return state;
}

} // namespace

const XML_ELEMENT* XML_ELEMENT::Child(const std::string& name) const
{
    for (const XML_ELEMENT& child : children)
        if (child.strName == name)
            return &child;
    return nullptr;
}

std::string XML_ELEMENT::ChildText(const std::string& name) const
{
    const XML_ELEMENT* child = Child(name);
    return child ? Trimmed(child->strText) : std::string();
}

std::string WriteXmlElement(const XML_ELEMENT& element)
{
    std::string out = "<";
    out += element.strName;
    for (const auto& attribute : element.attributes) {
        out += ' ';
        out += attribute.first;
        out += "=\"";
        out += Escape(attribute.second, true);
        out += '"';
    }
    if (element.children.empty() && element.strText.empty())
        return out + " />";
    out += '>';
    out += Escape(element.strText, false);
    for (const XML_ELEMENT& child : element.children)
        out += WriteXmlElement(child);
    out += "</";
    out += element.strName;
    out += '>';
    return out;
}

TASK_XML ReadTaskXml(const XML_ELEMENT& task)
{
    TASK_XML result;
    for (const auto& attribute : task.attributes) {
        int minor = 0;
        if (attribute.first == "version" && attribute.second.size() == 3 &&
            attribute.second.compare(0, 2, "1.") == 0 && ReadNumber(attribute.second.substr(2), 0, 9, minor))
            result.nCompatibility = minor;
    }
    if (const XML_ELEMENT* settings = task.Child("Settings")) {
        const std::string compatibility = settings->ChildText("Compatibility");
        for (int i = 0; i < 7; ++i)
            if (compatibility == kCompatibilityNames[i])
                result.nCompatibility = i;
    }
    if (const XML_ELEMENT* info = task.Child("RegistrationInfo"))
        result.strDescription = info->ChildText("Description");

    const XML_ELEMENT* actions = task.Child("Actions");
    std::string context;
    if (actions) {
        for (const auto& attribute : actions->attributes)
            if (attribute.first == "Context")
                context = attribute.second;
        result.nActions = static_cast<int>(actions->children.size());
        if (!actions->children.empty() && actions->children[0].strName == "Exec") {
            const XML_ELEMENT& exec = actions->children[0];
            result.bExecAction = true;
            result.strCommand = exec.ChildText("Command");
            result.strArguments = exec.ChildText("Arguments");
            result.strWorkingDirectory = exec.ChildText("WorkingDirectory");
        }
    }
    // The principal the actions run as: the one the actions name, or the only one.
    if (const XML_ELEMENT* principals = task.Child("Principals")) {
        const XML_ELEMENT* chosen = nullptr;
        for (const XML_ELEMENT& principal : principals->children) {
            if (principal.strName != "Principal")
                continue;
            bool named = false;
            for (const auto& attribute : principal.attributes)
                named = named || (attribute.first == "id" && attribute.second == context);
            if (!chosen || named)
                chosen = &principal;
        }
        if (chosen) {
            result.strLogonType = chosen->ChildText("LogonType");
            result.strRunLevel = chosen->ChildText("RunLevel");
        }
    }
    if (const XML_ELEMENT* triggers = task.Child("Triggers")) {
        for (const XML_ELEMENT& element : triggers->children) {
            TASK_XML_TRIGGER trigger;
            trigger.element = element;
            trigger.bEnabled = !IsFalse(element.ChildText("Enabled"));
            trigger.bSchedule = ReadSchedule(element, trigger.schedule);
            result.triggers.push_back(trigger);
        }
    }
    return result;
}

std::string BuildScanTaskXml(const SCAN_TASK_SETUP& setup, const std::vector<XML_ELEMENT>& triggers)
{
    XML_ELEMENT task = Element("Task");
    task.attributes = {{"version", "1.2"}, {"xmlns", kTaskNamespace}};

    XML_ELEMENT info = Element("RegistrationInfo");
    info.children.push_back(Element("Description", setup.strDescription));
    task.children.push_back(info);

    XML_ELEMENT list = Element("Triggers");
    list.children = triggers;
    task.children.push_back(list);

    XML_ELEMENT principal = Element("Principal");
    principal.attributes = {{"id", "Author"}};
    principal.children = {Element("UserId", setup.strUserSid), Element("LogonType", kInteractiveToken),
                          Element("RunLevel", kHighest)};
    XML_ELEMENT principals = Element("Principals");
    principals.children.push_back(principal);
    task.children.push_back(principals);

    // As a task of the 1.0 interfaces with the program's flags ran: on batteries too, one instance,
    // stopped after 72 hours.
    XML_ELEMENT settings = Element("Settings");
    settings.children = {Element("MultipleInstancesPolicy", "IgnoreNew"),
                         Element("DisallowStartIfOnBatteries", "false"), Element("StopIfGoingOnBatteries", "false"),
                         Element("ExecutionTimeLimit", "PT72H"), Element("Enabled", "true")};
    task.children.push_back(settings);

    XML_ELEMENT exec = Element("Exec");
    exec.children = {Element("Command", setup.strProgram), Element("Arguments", "-t"),
                     Element("WorkingDirectory", setup.strWorkingDirectory)};
    XML_ELEMENT actions = Element("Actions");
    actions.attributes = {{"Context", "Author"}};
    actions.children.push_back(exec);
    task.children.push_back(actions);
    return WriteXmlElement(task);
}

XML_ELEMENT ScheduleTriggerElement(const SCHEDULE_TRIGGER& s, const XML_ELEMENT* previous)
{
    XML_ELEMENT e = Element(ElementName(s.nKind));
    const bool same = previous && previous->strName == e.strName;
    if (same)
        e.attributes = previous->attributes;
    e.children.push_back(Element("Enabled", (s.nFlags & kScheduleDisabled) ? "false" : "true"));
    if (s.nBeginYear != 0)
        e.children.push_back(Element("StartBoundary", Format("%04d-%02d-%02dT%02d:%02d:00", s.nBeginYear, s.nBeginMonth,
                                                             s.nBeginDay, s.nStartHour, s.nStartMinute)));
    // The schedule's end is a day: the whole of it.
    if (s.nFlags & kScheduleHasEndDate)
        e.children.push_back(
            Element("EndBoundary", Format("%04d-%02d-%02dT23:59:59", s.nEndYear, s.nEndMonth, s.nEndDay)));
    if (s.nIntervalMinutes != 0) {
        XML_ELEMENT repetition = Element("Repetition");
        repetition.children = {Element("Interval", Format("PT%uM", static_cast<unsigned>(s.nIntervalMinutes))),
                               Element("Duration", Format("PT%uM", static_cast<unsigned>(s.nDurationMinutes))),
                               Element("StopAtDurationEnd", (s.nFlags & kScheduleKillAtDurationEnd) ? "true" : "false")};
        e.children.push_back(repetition);
    }
    if (same) {
        // ExecutionTimeLimit ends the base sequence; the kind's own children (RandomDelay, UserId,
        // Delay) follow it.
        if (const XML_ELEMENT* limit = previous->Child("ExecutionTimeLimit"))
            e.children.push_back(*limit);
        for (const XML_ELEMENT& child : previous->children)
            if (!IsScheduleChild(child.strName) && child.strName != "ExecutionTimeLimit")
                e.children.push_back(child);
    }
    if (e.strName == "CalendarTrigger")
        e.children.push_back(CalendarElement(s));
    return e;
}

SCHEDULE_TRIGGER DefaultScanTrigger()
{
    SCHEDULE_TRIGGER t;
    t.nBeginYear = 2006;
    t.nBeginMonth = 1;
    t.nBeginDay = 1;
    t.nStartHour = 3;
    t.nKind = SCHEDULE_WEEKLY;
    t.nWeeksInterval = 1;
    t.nDaysOfWeek = 0x4;  // Tuesday
    return t;
}

std::string TriggerListText(const TASK_XML_TRIGGER& trigger)
{
    if (trigger.bSchedule)
        return ComposeTriggerText(trigger.schedule);
    const std::string& name = trigger.element.strName;
    if (name == "RegistrationTrigger")
        return "At task creation/modification";
    if (name == "EventTrigger")
        return "On an event";
    if (name == "SessionStateChangeTrigger")
        return "On a change of the user session";
    if (name == "CalendarTrigger" || name == "TimeTrigger")
        return "On a schedule set in the Task Scheduler";
    return "On a trigger set in the Task Scheduler";
}

bool IsCurrentScanTask(const TASK_XML& task, const std::string& program)
{
    return task.nCompatibility >= 2 && task.strRunLevel == kHighest && task.strLogonType == kInteractiveToken &&
           DecideRunLevelStep(ActionState(task), program) == RUNLEVEL_ALREADY_HIGHEST;
}

unsigned LostInReadBack(const TASK_XML& registered, const TASK_XML& readBack)
{
    unsigned lost = 0;
    bool triggersKept = registered.triggers.size() == readBack.triggers.size();
    for (size_t i = 0; triggersKept && i < registered.triggers.size(); ++i) {
        const TASK_XML_TRIGGER& a = registered.triggers[i];
        const TASK_XML_TRIGGER& b = readBack.triggers[i];
        triggersKept = a.element.strName == b.element.strName && a.bEnabled == b.bEnabled &&
                       a.bSchedule == b.bSchedule && (!a.bSchedule || SameSchedule(a.schedule, b.schedule));
    }
    if (!triggersKept)
        lost |= TASK_LOST_TRIGGERS;
    if (registered.bExecAction &&
        DecideRunLevelStep(ActionState(readBack), registered.strCommand) != RUNLEVEL_ALREADY_HIGHEST)
        lost |= TASK_LOST_ACTION;
    if (registered.strRunLevel == kHighest && readBack.strRunLevel != kHighest)
        lost |= TASK_LOST_RUN_LEVEL;
    return lost;
}

std::string LostText(unsigned lost)
{
    std::vector<std::string> names;
    if (lost & TASK_LOST_TRIGGERS)
        names.push_back("its triggers");
    if (lost & TASK_LOST_ACTION)
        names.push_back("its action");
    if (lost & TASK_LOST_RUN_LEVEL)
        names.push_back("its run level");
    std::string text;
    for (size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return text;
}
