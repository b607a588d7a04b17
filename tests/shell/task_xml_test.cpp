// The scheduled task's XML: the task the program builds, triggers read back through the system's
// XML reader in the shapes Windows writes them (the Task Scheduler schema's documented examples,
// learn.microsoft.com/windows/win32/taskschd), the triggers the schedule dialog cannot edit kept,
// a task of the 1.0 interfaces replaced, and the decision on what the scheduler gave back, with the
// XML Wine 8's Task Scheduler 2.0 returns for the program's task.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/wide_text.h"
#include "shell/task_xml.h"
#include "shell/xml_document.h"

namespace {

const char* const kDefaultText = "At 3:00 AM every Tue of every week, starting 1/1/2006";
const char* const kProgram = "C:\\Program Files\\Hivora\\Hivora.exe";

SCAN_TASK_SETUP TaskSetup(const std::string& program = kProgram)
{
    SCAN_TASK_SETUP setup;
    setup.strProgram = program;
    setup.strWorkingDirectory = program.substr(0, program.find_last_of('\\'));
    setup.strDescription = "Runs Hivora at Scheduled Time.";
    setup.strUserSid = "S-1-5-21-1004336348-1177238915-682003330-1001";
    return setup;
}

// The text through the system's reader.
TASK_XML Read(const std::string& xml)
{
    XML_ELEMENT root;
    EXPECT_TRUE(ReadXmlDocument(Utf8ToWide(xml), root)) << xml;
    EXPECT_EQ(root.strName, "Task");
    return ReadTaskXml(root);
}

std::vector<std::string> Texts(const TASK_XML& task)
{
    std::vector<std::string> texts;
    for (const TASK_XML_TRIGGER& trigger : task.triggers)
        texts.push_back(TriggerListText(trigger));
    return texts;
}

std::vector<XML_ELEMENT> Elements(const TASK_XML& task)
{
    std::vector<XML_ELEMENT> elements;
    for (const TASK_XML_TRIGGER& trigger : task.triggers)
        elements.push_back(trigger.element);
    return elements;
}

// A task as Windows shows one (its XML export: a declaration naming UTF-16, elements indented,
// StartBoundary before Enabled and Repetition before both, as the scheduler writes them), with the
// documented example triggers: weekly Monday to Friday at 8:00 AM (ScheduleByWeek), monthly on days
// (ScheduleByMonth), monthly on a weekday (ScheduleByMonthDayOfWeek), once with a repetition
// (TimeTrigger), at logon of one user, and an event trigger, which no schedule holds.
const char* const kWindowsTask = R"(<?xml version="1.0" encoding="UTF-16"?>
<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">
  <RegistrationInfo>
    <Date>2024-03-01T10:00:00.1234567</Date>
    <Author>PC\admin</Author>
    <Description>Runs Hivora at Scheduled Time.</Description>
  </RegistrationInfo>
  <Triggers>
    <CalendarTrigger>
      <StartBoundary>2005-01-01T08:00:00</StartBoundary>
      <EndBoundary>2007-01-01T00:00:00</EndBoundary>
      <Enabled>true</Enabled>
      <ScheduleByWeek>
        <WeeksInterval>1</WeeksInterval>
        <DaysOfWeek>
          <Monday />
          <Tuesday />
          <Wednesday />
          <Thursday />
          <Friday />
        </DaysOfWeek>
      </ScheduleByWeek>
    </CalendarTrigger>
    <CalendarTrigger id="monthly">
      <StartBoundary>2024-03-01T21:15:00+01:00</StartBoundary>
      <Enabled>true</Enabled>
      <RandomDelay>PT10M</RandomDelay>
      <ScheduleByMonth>
        <DaysOfMonth>
          <Day>1</Day>
          <Day>15</Day>
        </DaysOfMonth>
        <Months>
          <February />
          <November />
        </Months>
      </ScheduleByMonth>
    </CalendarTrigger>
    <CalendarTrigger>
      <StartBoundary>2024-03-01T21:15:00</StartBoundary>
      <ScheduleByMonthDayOfWeek>
        <Weeks>
          <Week>Last</Week>
        </Weeks>
        <DaysOfWeek>
          <Friday />
        </DaysOfWeek>
        <Months>
          <January />
          <July />
        </Months>
      </ScheduleByMonthDayOfWeek>
    </CalendarTrigger>
    <TimeTrigger>
      <Repetition>
        <Interval>PT30M</Interval>
        <Duration>PT2H</Duration>
        <StopAtDurationEnd>false</StopAtDurationEnd>
      </Repetition>
      <StartBoundary>2024-03-01T09:05:00</StartBoundary>
      <Enabled>true</Enabled>
    </TimeTrigger>
    <LogonTrigger>
      <Enabled>false</Enabled>
      <UserId>PC\admin</UserId>
    </LogonTrigger>
    <EventTrigger>
      <Enabled>true</Enabled>
      <Subscription>&lt;QueryList&gt;&lt;Query Id="0" Path="System"&gt;&lt;Select Path="System"&gt;*[System[EventID=6005]]&lt;/Select&gt;&lt;/Query&gt;&lt;/QueryList&gt;</Subscription>
    </EventTrigger>
  </Triggers>
  <Principals>
    <Principal id="Author">
      <UserId>S-1-5-21-1004336348-1177238915-682003330-1001</UserId>
      <LogonType>InteractiveToken</LogonType>
      <RunLevel>HighestAvailable</RunLevel>
    </Principal>
  </Principals>
  <Settings>
    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>
    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>
    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>
    <ExecutionTimeLimit>PT72H</ExecutionTimeLimit>
    <Enabled>true</Enabled>
  </Settings>
  <Actions Context="Author">
    <Exec>
      <Command>"C:\Program Files\Hivora\Hivora.exe"</Command>
      <Arguments>-t</Arguments>
      <WorkingDirectory>C:\Program Files\Hivora</WorkingDirectory>
    </Exec>
  </Actions>
</Task>
)";

// The program's task with the default trigger as Wine 8's Task Scheduler 2.0 gives it back
// (IRegisteredTask::get_Xml after ITaskFolder::RegisterTask, measured): no trigger, an empty
// principal, an Exec action without a command.
const char* const kWineReadBack = "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
                                  "  <RegistrationInfo>\r\n"
                                  "    <Description>Runs Hivora at Scheduled Time.</Description>\r\n"
                                  "  </RegistrationInfo>\r\n"
                                  "  <Triggers/>\r\n"
                                  "  <Principals>\r\n"
                                  "    <Principal>\r\n"
                                  "    </Principal>\r\n"
                                  "  </Principals>\r\n"
                                  "  <Settings>\r\n"
                                  "    <AllowStartOnDemand>true</AllowStartOnDemand>\r\n"
                                  "    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>\r\n"
                                  "    <DisallowStartIfOnBatteries>true</DisallowStartIfOnBatteries>\r\n"
                                  "    <StopIfGoingOnBatteries>true</StopIfGoingOnBatteries>\r\n"
                                  "    <AllowHardTerminate>true</AllowHardTerminate>\r\n"
                                  "    <StartWhenAvailable>false</StartWhenAvailable>\r\n"
                                  "    <RunOnlyIfNetworkAvailable>false</RunOnlyIfNetworkAvailable>\r\n"
                                  "    <WakeToRun>false</WakeToRun>\r\n"
                                  "    <Enabled>true</Enabled>\r\n"
                                  "    <Hidden>false</Hidden>\r\n"
                                  "    <ExecutionTimeLimit>PT0S</ExecutionTimeLimit>\r\n"
                                  "    <Priority>7</Priority>\r\n"
                                  "    <RunOnlyIfIdle>false</RunOnlyIfIdle>\r\n"
                                  "  </Settings>\r\n"
                                  "  <Actions>\r\n"
                                  "    <Exec/>\r\n"
                                  "  </Actions>\r\n"
                                  "</Task>\r\n";

} // namespace

TEST(TaskXml, TheProgramsTaskRunsAtTheHighestLevelAsTheSignedInUserWithTheDefaultTrigger)
{
    const std::string xml = BuildScanTaskXml(TaskSetup(), {ScheduleTriggerElement(DefaultScanTrigger())});
    EXPECT_NE(xml.find("<UserId>S-1-5-21-1004336348-1177238915-682003330-1001</UserId>"), std::string::npos) << xml;
    const TASK_XML task = Read(xml);
    EXPECT_EQ(task.nCompatibility, 2);  // Task Scheduler 2.0
    EXPECT_EQ(task.strLogonType, "InteractiveToken");
    EXPECT_EQ(task.strRunLevel, "HighestAvailable");
    EXPECT_EQ(task.nActions, 1);
    EXPECT_TRUE(task.bExecAction);
    EXPECT_EQ(task.strCommand, kProgram);
    EXPECT_EQ(task.strArguments, "-t");
    EXPECT_EQ(task.strWorkingDirectory, "C:\\Program Files\\Hivora");
    EXPECT_EQ(task.strDescription, "Runs Hivora at Scheduled Time.");
    ASSERT_EQ(task.triggers.size(), 1u);
    EXPECT_EQ(task.triggers[0].element.strName, "CalendarTrigger");
    EXPECT_TRUE(task.triggers[0].bSchedule);
    EXPECT_TRUE(task.triggers[0].bEnabled);
    EXPECT_EQ(Texts(task), std::vector<std::string>{kDefaultText});
    EXPECT_TRUE(IsCurrentScanTask(task, kProgram));
    EXPECT_TRUE(IsCurrentScanTask(task, "c:\\program files\\hivora\\HIVORA.EXE"));
    EXPECT_FALSE(IsCurrentScanTask(task, "C:\\Users\\Public\\Hivora.exe"));

    // Markup characters in a path and a non-ASCII folder come back as they were.
    const std::string odd = "C:\\Tools & \"More\" <x>\\\xC3\xA9t\xC3\xA9\\Hivora.exe";
    const TASK_XML oddTask = Read(BuildScanTaskXml(TaskSetup(odd), {}));
    EXPECT_EQ(oddTask.strCommand, odd);
    EXPECT_TRUE(oddTask.triggers.empty());
    EXPECT_TRUE(IsCurrentScanTask(oddTask, odd));
}

TEST(TaskXml, TriggersReadInTheShapeWindowsWritesThemAndThoseNoScheduleHoldsAreKept)
{
    const TASK_XML task = Read(kWindowsTask);
    EXPECT_EQ(task.nCompatibility, 2);
    EXPECT_EQ(task.strCommand, "\"C:\\Program Files\\Hivora\\Hivora.exe\"");
    EXPECT_TRUE(IsCurrentScanTask(task, kProgram));
    ASSERT_EQ(task.triggers.size(), 6u);
    EXPECT_EQ(Texts(task), (std::vector<std::string>{
                               "At 8:00 AM every Mon, Tue, Wed, Thu, Fri of every week, starting 1/1/2005, ending 1/1/2007",
                               "At 9:15 PM on day 1, 15 of Feb, Nov, starting 3/1/2024",
                               "At 9:15 PM on the last Fri of Jan, Jul, starting 3/1/2024",
                               "At 9:05 AM on 3/1/2024, every 30 minutes for 120 minutes",
                               "At logon",
                               "On an event",
                           }));
    EXPECT_FALSE(task.triggers[4].bEnabled);
    EXPECT_FALSE(task.triggers[5].bSchedule);

    // The dialog edits the first active trigger it knows: every other day at 6:30, from 2025.
    SCHEDULE_TRIGGER edited = task.triggers[1].schedule;
    edited.nKind = SCHEDULE_DAILY;
    edited.nDaysInterval = 2;
    edited.nBeginYear = 2025;
    edited.nStartHour = 6;
    edited.nStartMinute = 30;
    std::vector<XML_ELEMENT> elements = Elements(task);
    elements[1] = ScheduleTriggerElement(edited, &task.triggers[1].element);
    const TASK_XML again = Read(BuildScanTaskXml(TaskSetup(), elements));
    ASSERT_EQ(again.triggers.size(), 6u);
    EXPECT_EQ(TriggerListText(again.triggers[1]), "At 6:30 AM every 2 days, starting 3/1/2025");
    // Its id and random delay stay; the other triggers are registered as they were, the event
    // trigger's query and the logon trigger's user among them.
    const XML_ELEMENT& daily = again.triggers[1].element;
    ASSERT_EQ(daily.attributes.size(), 1u);
    EXPECT_EQ(daily.attributes[0], (std::pair<std::string, std::string>{"id", "monthly"}));
    EXPECT_EQ(daily.ChildText("RandomDelay"), "PT10M");
    EXPECT_EQ(daily.Child("ScheduleByMonth"), nullptr);
    for (size_t i : {0u, 2u, 3u, 4u, 5u})
        EXPECT_EQ(WriteXmlElement(again.triggers[i].element), WriteXmlElement(task.triggers[i].element)) << i;
    EXPECT_EQ(again.triggers[5].element.ChildText("Subscription"),
              "<QueryList><Query Id=\"0\" Path=\"System\"><Select Path=\"System\">*[System[EventID=6005]]</Select>"
              "</Query></QueryList>");
    EXPECT_EQ(again.triggers[4].element.ChildText("UserId"), "PC\\admin");
    EXPECT_EQ(LostInReadBack(again, again), 0u);
}

TEST(TaskXml, ATaskOfTheOneZeroInterfacesIsReplacedWithTheSameTriggers)
{
    // What the 2.0 interfaces show of a task an earlier version made through the 1.0 interfaces:
    // compatible with Task Scheduler 1.0, no run level (a V1 task cannot have one).
    const char* const v1Task = R"(<?xml version="1.0" encoding="UTF-16"?>
<Task version="1.1" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">
  <RegistrationInfo><Description>Runs Hivora at Scheduled Time.</Description></RegistrationInfo>
  <Triggers>
    <CalendarTrigger>
      <StartBoundary>2006-01-01T03:00:00</StartBoundary>
      <Enabled>true</Enabled>
      <ScheduleByWeek><WeeksInterval>1</WeeksInterval><DaysOfWeek><Tuesday /></DaysOfWeek></ScheduleByWeek>
    </CalendarTrigger>
  </Triggers>
  <Principals>
    <Principal id="Author">
      <UserId>PC\admin</UserId>
      <LogonType>InteractiveToken</LogonType>
    </Principal>
  </Principals>
  <Settings><Compatibility>V1</Compatibility></Settings>
  <Actions Context="Author">
    <Exec><Command>C:\Program Files\Hivora\Hivora.exe</Command><Arguments>-t</Arguments></Exec>
  </Actions>
</Task>)";
    const TASK_XML old = Read(v1Task);
    EXPECT_EQ(old.nCompatibility, 1);
    EXPECT_FALSE(IsCurrentScanTask(old, kProgram));
    const TASK_XML replaced = Read(BuildScanTaskXml(TaskSetup(), Elements(old)));
    EXPECT_TRUE(IsCurrentScanTask(replaced, kProgram));
    EXPECT_EQ(Texts(replaced), std::vector<std::string>{kDefaultText});

    // A limited task of this version is not current either; nor one starting anything else.
    std::string limited = BuildScanTaskXml(TaskSetup(), {});
    limited.replace(limited.find("HighestAvailable"), 16, "LeastPrivilege");
    EXPECT_FALSE(IsCurrentScanTask(Read(limited), kProgram));
    EXPECT_FALSE(IsCurrentScanTask(Read(BuildScanTaskXml(TaskSetup("C:\\Users\\Public\\Hivora.exe"), {})), kProgram));

    // The triggers the 1.0 interfaces keep, every kind with its own fields, carried over unchanged.
    std::vector<SCHEDULE_TRIGGER> legacy;
    SCHEDULE_TRIGGER t = DefaultScanTrigger();
    t.nStartHour = 21;
    t.nStartMinute = 15;
    t.nFlags = kScheduleHasEndDate | kScheduleKillAtDurationEnd;
    t.nEndYear = 2030;
    t.nEndMonth = 12;
    t.nEndDay = 31;
    t.nIntervalMinutes = 30;
    t.nDurationMinutes = 120;
    for (int kind : {SCHEDULE_ONCE, SCHEDULE_DAILY, SCHEDULE_WEEKLY, SCHEDULE_MONTHLY_DATE, SCHEDULE_MONTHLY_DOW}) {
        SCHEDULE_TRIGGER k = t;
        k.nKind = kind;
        k.nDaysInterval = kind == SCHEDULE_DAILY ? 3 : 0;
        k.nWeeksInterval = kind == SCHEDULE_WEEKLY ? 2 : 0;
        k.nDaysOfWeek = kind == SCHEDULE_WEEKLY || kind == SCHEDULE_MONTHLY_DOW ? 0x41 : 0;
        k.nDaysOfMonth = kind == SCHEDULE_MONTHLY_DATE ? (1u | (1u << 30)) : 0;
        k.nMonths = kind >= SCHEDULE_MONTHLY_DATE ? 0x801 : 0;
        k.nWhichWeek = kind == SCHEDULE_MONTHLY_DOW ? 2 : 0;
        legacy.push_back(k);
    }
    SCHEDULE_TRIGGER atLogon;
    atLogon.nKind = SCHEDULE_AT_LOGON;
    atLogon.nFlags = kScheduleDisabled;
    legacy.push_back(atLogon);
    std::vector<XML_ELEMENT> elements;
    for (const SCHEDULE_TRIGGER& trigger : legacy)
        elements.push_back(ScheduleTriggerElement(trigger));
    const TASK_XML carried = Read(BuildScanTaskXml(TaskSetup(), elements));
    ASSERT_EQ(carried.triggers.size(), legacy.size());
    for (size_t i = 0; i < legacy.size(); ++i) {
        ASSERT_TRUE(carried.triggers[i].bSchedule) << i;
        EXPECT_EQ(ComposeTriggerText(carried.triggers[i].schedule), ComposeTriggerText(legacy[i])) << i;
        EXPECT_EQ(carried.triggers[i].schedule.nFlags, legacy[i].nFlags) << i;
    }
    EXPECT_FALSE(carried.triggers.back().bEnabled);
}

TEST(TaskXml, WhatTheSchedulerDidNotKeepIsNamedAndWhatItKeptPasses)
{
    const std::string xml = BuildScanTaskXml(TaskSetup(), {ScheduleTriggerElement(DefaultScanTrigger())});
    const TASK_XML registered = Read(xml);
    EXPECT_EQ(LostInReadBack(registered, registered), 0u);

    // Wine 8: nothing of the three is kept.
    const TASK_XML wine = Read(kWineReadBack);
    const unsigned lost = LostInReadBack(registered, wine);
    EXPECT_EQ(lost, TASK_LOST_TRIGGERS | TASK_LOST_ACTION | TASK_LOST_RUN_LEVEL);
    EXPECT_EQ(LostText(lost), "its triggers, its action and its run level");
    EXPECT_FALSE(IsCurrentScanTask(wine, kProgram));
    // A task registered without a trigger loses no trigger there.
    EXPECT_EQ(LostInReadBack(Read(BuildScanTaskXml(TaskSetup(), {})), wine), TASK_LOST_ACTION | TASK_LOST_RUN_LEVEL);
    EXPECT_EQ(LostText(TASK_LOST_ACTION | TASK_LOST_RUN_LEVEL), "its action and its run level");

    // Windows' own way of writing the same task (order, quotes, durations in hours) loses nothing.
    const TASK_XML windows = Read(kWindowsTask);
    std::vector<XML_ELEMENT> elements;
    for (const TASK_XML_TRIGGER& trigger : windows.triggers)
        elements.push_back(trigger.bSchedule ? ScheduleTriggerElement(trigger.schedule) : trigger.element);
    EXPECT_EQ(LostInReadBack(Read(BuildScanTaskXml(TaskSetup(), elements)), windows), 0u);

    // Each loss alone.
    std::string changed = xml;
    changed.replace(changed.find("<RunLevel>HighestAvailable</RunLevel>"), 37, "");
    EXPECT_EQ(LostInReadBack(registered, Read(changed)), TASK_LOST_RUN_LEVEL);
    changed = xml;
    changed.replace(changed.find("<Arguments>-t</Arguments>"), 25, "<Arguments>-t /x</Arguments>");
    EXPECT_EQ(LostInReadBack(registered, Read(changed)), TASK_LOST_ACTION);
    changed = xml;
    changed.replace(changed.find("<Tuesday />"), 11, "<Monday />");
    EXPECT_EQ(LostInReadBack(registered, Read(changed)), TASK_LOST_TRIGGERS);
    EXPECT_EQ(LostInReadBack(registered, Read(BuildScanTaskXml(TaskSetup(), {}))), TASK_LOST_TRIGGERS);
    EXPECT_EQ(LostText(TASK_LOST_TRIGGERS), "its triggers");
}

TEST(TaskXml, TheReaderRefusesWhatIsNoPlainDocument)
{
    XML_ELEMENT root;
    // Entities declared in a document type would expand without bound: no DTD is read.
    EXPECT_FALSE(ReadXmlDocument(L"<!DOCTYPE Task [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>"
                                 L"<Task><Actions>&b;</Actions></Task>",
                                 root));
    EXPECT_FALSE(ReadXmlDocument(L"<Task><Actions></Task>", root));
    EXPECT_FALSE(ReadXmlDocument(L"<Task/><Task/>", root));
    EXPECT_FALSE(ReadXmlDocument(L"", root));
    ASSERT_TRUE(ReadXmlDocument(L"<a:Task xmlns:a=\"urn:x\" b=\"1\"><![CDATA[<x>]]></a:Task>", root));
    EXPECT_EQ(root.strName, "Task");
    ASSERT_EQ(root.attributes.size(), 1u);
    EXPECT_EQ(root.strText, "<x>");
}
