#pragma once

#include <cstdint>
#include <string>

// A scheduled task's trigger as the Task Scheduler keeps it, told without the Windows headers so
// that its text can be composed and tested anywhere. Kinds, day and month bits and the week
// numbers have the scheduler's own values.
enum SCHEDULE_KIND : int {
    SCHEDULE_ONCE = 0,
    SCHEDULE_DAILY = 1,
    SCHEDULE_WEEKLY = 2,
    SCHEDULE_MONTHLY_DATE = 3,
    SCHEDULE_MONTHLY_DOW = 4,
    SCHEDULE_ON_IDLE = 5,
    SCHEDULE_AT_SYSTEM_START = 6,
    SCHEDULE_AT_LOGON = 7,
};

constexpr uint32_t kScheduleHasEndDate = 0x1;
constexpr uint32_t kScheduleKillAtDurationEnd = 0x2;
constexpr uint32_t kScheduleDisabled = 0x4;

struct SCHEDULE_TRIGGER {
    int nBeginYear = 0, nBeginMonth = 0, nBeginDay = 0;
    int nEndYear = 0, nEndMonth = 0, nEndDay = 0;
    int nStartHour = 0, nStartMinute = 0;
    uint32_t nDurationMinutes = 0;
    uint32_t nIntervalMinutes = 0;
    uint32_t nFlags = 0;
    int nKind = SCHEDULE_ONCE;
    int nDaysInterval = 0;          // daily
    int nWeeksInterval = 0;         // weekly
    unsigned nDaysOfWeek = 0;       // weekly, monthly by weekday: bit 0 Sunday ... bit 6 Saturday
    uint32_t nDaysOfMonth = 0;      // monthly by date: bit 0 the 1st ... bit 30 the 31st
    unsigned nMonths = 0;           // monthly: bit 0 January ... bit 11 December
    int nWhichWeek = 0;             // monthly by weekday: 1 to 4, 5 the last
};

// The trigger in the words of the system's own schedule list, e.g.
// "At 3:00 AM every Tue of every week, starting 1/1/2006".
std::string ComposeTriggerText(const SCHEDULE_TRIGGER& trigger);
