#include "shell/trigger_text.h"

#include "framework/format.h"

namespace {

const char* const kDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kWeekNames[5] = {"first", "second", "third", "fourth", "last"};

std::string TimeText(int hour, int minute)
{
    const int twelve = hour % 12 == 0 ? 12 : hour % 12;
    return Format("%d:%02d", twelve, minute) + (hour < 12 ? " AM" : " PM");
}

std::string DateText(int year, int month, int day)
{
    return Format("%d/%d/%d", month, day, year);
}

// The names of the set bits, joined by ", ".
std::string Names(uint32_t bits, const char* const* names, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (bits & (1u << i))
            text += (text.empty() ? "" : ", ") + std::string(names[i]);
    }
    return text;
}

std::string MonthsText(unsigned months)
{
    if ((months & 0xFFF) == 0xFFF || (months & 0xFFF) == 0)
        return "every month";
    return Names(months, kMonthNames, 12);
}

std::string DaysOfMonthText(uint32_t days)
{
    std::string text;
    for (int day = 1; day <= 31; ++day) {
        if (days & (1u << (day - 1)))
            text += (text.empty() ? "" : ", ") + Format("%d", day);
    }
    return text;
}

std::string Plural(uint32_t count, const char* unit)
{
    return Format("%u ", static_cast<unsigned>(count)) + unit + (count == 1 ? "" : "s");
}

std::string Repetition(const SCHEDULE_TRIGGER& trigger)
{
    if (trigger.nIntervalMinutes == 0)
        return {};
    return ", every " + Plural(trigger.nIntervalMinutes, "minute") + " for " +
           Plural(trigger.nDurationMinutes, "minute");
}

} // namespace

std::string ComposeTriggerText(const SCHEDULE_TRIGGER& trigger)
{
    switch (trigger.nKind) {
    case SCHEDULE_ON_IDLE:
        return "When computer is idle";
    case SCHEDULE_AT_SYSTEM_START:
        return "At system startup";
    case SCHEDULE_AT_LOGON:
        return "At logon";
    default:
        break;
    }

    const std::string begin = DateText(trigger.nBeginYear, trigger.nBeginMonth, trigger.nBeginDay);
    std::string text = "At " + TimeText(trigger.nStartHour, trigger.nStartMinute);
    switch (trigger.nKind) {
    case SCHEDULE_ONCE:
        return text + " on " + begin + Repetition(trigger);
    case SCHEDULE_DAILY:
        text += trigger.nDaysInterval > 1 ? " every " + Format("%d", trigger.nDaysInterval) + " days" : " every day";
        break;
    case SCHEDULE_WEEKLY:
        text += " every " + Names(trigger.nDaysOfWeek, kDayNames, 7) + " of every " +
                (trigger.nWeeksInterval > 1 ? Format("%d", trigger.nWeeksInterval) + " weeks" : "week");
        break;
    case SCHEDULE_MONTHLY_DATE:
        text += " on day " + DaysOfMonthText(trigger.nDaysOfMonth) + " of " + MonthsText(trigger.nMonths);
        break;
    case SCHEDULE_MONTHLY_DOW: {
        const int week = trigger.nWhichWeek >= 1 && trigger.nWhichWeek <= 5 ? trigger.nWhichWeek : 1;
        text += " on the " + std::string(kWeekNames[week - 1]) + " " + Names(trigger.nDaysOfWeek, kDayNames, 7) +
                " of " + MonthsText(trigger.nMonths);
        break;
    }
    default:
        return text;
    }
    text += ", starting " + begin;
    if (trigger.nFlags & kScheduleHasEndDate)
        text += ", ending " + DateText(trigger.nEndYear, trigger.nEndMonth, trigger.nEndDay);
    return text + Repetition(trigger);
}
