#include <gtest/gtest.h>

#include "shell/trigger_text.h"

namespace {

SCHEDULE_TRIGGER At(int kind, int hour, int minute)
{
    SCHEDULE_TRIGGER t;
    t.nKind = kind;
    t.nBeginYear = 2006;
    t.nBeginMonth = 1;
    t.nBeginDay = 1;
    t.nStartHour = hour;
    t.nStartMinute = minute;
    return t;
}

} // namespace

TEST(TriggerText, EveryKindReadsLikeTheSystemsOwnList)
{
    SCHEDULE_TRIGGER weekly = At(SCHEDULE_WEEKLY, 3, 0);
    weekly.nWeeksInterval = 1;
    weekly.nDaysOfWeek = 0x4;
    EXPECT_EQ(ComposeTriggerText(weekly), "At 3:00 AM every Tue of every week, starting 1/1/2006");
    weekly.nWeeksInterval = 2;
    weekly.nDaysOfWeek = 0x2 | 0x20 | 0x1;
    EXPECT_EQ(ComposeTriggerText(weekly), "At 3:00 AM every Sun, Mon, Fri of every 2 weeks, starting 1/1/2006");

    // Noon and midnight on the twelve-hour clock.
    SCHEDULE_TRIGGER daily = At(SCHEDULE_DAILY, 12, 5);
    daily.nDaysInterval = 1;
    EXPECT_EQ(ComposeTriggerText(daily), "At 12:05 PM every day, starting 1/1/2006");
    daily = At(SCHEDULE_DAILY, 0, 30);
    daily.nDaysInterval = 3;
    daily.nFlags = kScheduleHasEndDate;
    daily.nEndYear = 2007;
    daily.nEndMonth = 12;
    daily.nEndDay = 31;
    EXPECT_EQ(ComposeTriggerText(daily), "At 12:30 AM every 3 days, starting 1/1/2006, ending 12/31/2007");

    EXPECT_EQ(ComposeTriggerText(At(SCHEDULE_ONCE, 23, 59)), "At 11:59 PM on 1/1/2006");

    SCHEDULE_TRIGGER monthly = At(SCHEDULE_MONTHLY_DATE, 14, 0);
    monthly.nDaysOfMonth = 1u | (1u << 14) | (1u << 30);
    monthly.nMonths = 0xFFF;
    EXPECT_EQ(ComposeTriggerText(monthly), "At 2:00 PM on day 1, 15, 31 of every month, starting 1/1/2006");
    monthly.nMonths = 0x1 | 0x800;
    EXPECT_EQ(ComposeTriggerText(monthly), "At 2:00 PM on day 1, 15, 31 of Jan, Dec, starting 1/1/2006");

    SCHEDULE_TRIGGER byWeekday = At(SCHEDULE_MONTHLY_DOW, 9, 15);
    byWeekday.nWhichWeek = 5;
    byWeekday.nDaysOfWeek = 0x40;
    byWeekday.nMonths = 0xFFF;
    byWeekday.nIntervalMinutes = 10;
    byWeekday.nDurationMinutes = 60;
    EXPECT_EQ(ComposeTriggerText(byWeekday),
              "At 9:15 AM on the last Sat of every month, starting 1/1/2006, every 10 minutes for 60 minutes");

    EXPECT_EQ(ComposeTriggerText(At(SCHEDULE_AT_SYSTEM_START, 0, 0)), "At system startup");
    EXPECT_EQ(ComposeTriggerText(At(SCHEDULE_AT_LOGON, 0, 0)), "At logon");
    EXPECT_EQ(ComposeTriggerText(At(SCHEDULE_ON_IDLE, 0, 0)), "When computer is idle");
}
