#include "shell/schedule_dialog.h"

#include <commctrl.h>

#include <string>

#include "framework/msgbox.h"
#include "resources/resource.h"

namespace {

struct KIND_ROW {
    int nKind;
    const char* pszName;
    const char* pszGroup;
    const char* pszCaption;
    const char* pszUnit;
    int nMax;       // the number field's largest value; 0 when the kind has none
    bool bWeek;     // the week of the month
    bool bDays;     // the days of the week
};

const KIND_ROW kKinds[] = {
    {SCHEDULE_ONCE, "Once", "Schedule Task Once", "", "", 0, false, false},
    {SCHEDULE_DAILY, "Daily", "Schedule Task Daily", "Every", "day(s)", 365, false, false},
    {SCHEDULE_WEEKLY, "Weekly", "Schedule Task Weekly", "Every", "week(s) on:", 52, false, true},
    {SCHEDULE_MONTHLY_DATE, "Monthly", "Schedule Task Monthly", "Day", "of the month(s)", 31, false, false},
    {SCHEDULE_MONTHLY_DOW, "Monthly on a weekday", "Schedule Task Monthly", "The", "week of the month(s) on:", 0, true,
     true},
};

// The week of the month as the scheduler counts it: 1 to 4, 5 the last.
const char* const kWeeks[5] = {"first", "second", "third", "fourth", "last"};

constexpr unsigned kEveryMonth = 0xFFF;

// The day boxes run Monday to Sunday; the trigger's bits run Sunday (bit 0) to Saturday.
unsigned DayBit(int box)
{
    return 1u << ((box + 1) % 7);
}

const KIND_ROW* FindKind(int kind)
{
    for (const KIND_ROW& row : kKinds) {
        if (row.nKind == kind)
            return &row;
    }
    return nullptr;
}

int FirstDayOfMonth(uint32_t days)
{
    for (int day = 1; day <= 31; ++day) {
        if (days & (1u << (day - 1)))
            return day;
    }
    return 1;
}

// The words after the day field of a monthly schedule, which shows the first of its days alone.
std::string MonthDaysUnit(uint32_t days)
{
    std::string others;
    int count = 0;
    for (int day = FirstDayOfMonth(days) + 1; day <= 31; ++day) {
        if (days & (1u << (day - 1)))
            others += (count++ ? ", " : "") + std::to_string(day);
    }
    if (count == 0)
        return "of the month(s)";
    if (count > 3)
        return "and " + std::to_string(count) + " more days of the month(s)";
    return "and " + others + " of the month(s)";
}

// The value the number field shows for the trigger's kind.
int NumberOf(const SCHEDULE_TRIGGER& trigger)
{
    switch (trigger.nKind) {
    case SCHEDULE_DAILY:
        return trigger.nDaysInterval;
    case SCHEDULE_WEEKLY:
        return trigger.nWeeksInterval;
    case SCHEDULE_MONTHLY_DATE:
        return FirstDayOfMonth(trigger.nDaysOfMonth);
    default:
        return 1;
    }
}

} // namespace

CScheduleDlg::CScheduleDlg(SCHEDULE_TRIGGER& trigger) : CDialog(IDD_SCHEDULE_DIALOG), m_trigger(trigger), m_work(trigger)
{
    // The date and time pickers of the template.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_DATE_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);
    if (!FindKind(m_work.nKind))
        m_strOtherKind = ComposeTriggerText(m_work);
}

BOOL CScheduleDlg::OnInitDialog()
{
    m_bLoading = true;
    const HWND kinds = GetDlgItem(IDC_SCHEDULE_KIND);
    const auto addKind = [&](const char* name, int kind) {
        const LRESULT index = SendMessageA(kinds, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        SendMessageA(kinds, CB_SETITEMDATA, index, kind);
        if (kind == m_work.nKind)
            SendMessageA(kinds, CB_SETCURSEL, index, 0);
    };
    for (const KIND_ROW& row : kKinds)
        addKind(row.pszName, row.nKind);
    if (!m_strOtherKind.empty())
        addKind(m_strOtherKind.c_str(), m_trigger.nKind);
    const HWND weeks = GetDlgItem(IDC_SCHEDULE_WEEK);
    for (const char* week : kWeeks)
        SendMessageA(weeks, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(week));

    SYSTEMTIME start{};
    start.wYear = static_cast<WORD>(m_work.nBeginYear);
    start.wMonth = static_cast<WORD>(m_work.nBeginMonth);
    start.wDay = static_cast<WORD>(m_work.nBeginDay);
    start.wHour = static_cast<WORD>(m_work.nStartHour);
    start.wMinute = static_cast<WORD>(m_work.nStartMinute);
    SendMessageA(GetDlgItem(IDC_SCHEDULE_DATE), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&start));
    SendMessageA(GetDlgItem(IDC_SCHEDULE_TIME), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&start));
    // Hours and minutes: the seconds of a schedule are always 0.
    SendMessageA(GetDlgItem(IDC_SCHEDULE_TIME), DTM_SETFORMATA, 0, reinterpret_cast<LPARAM>("h':'mm tt"));
    for (int box = 0; box < 7; ++box)
        CheckItem(IDC_SCHEDULE_DAY_FIRST + box, (m_work.nDaysOfWeek & DayBit(box)) != 0);
    ShowKind();
    m_bLoading = false;
    ShowPreview();
    return TRUE;
}

void CScheduleDlg::ShowKind()
{
    const KIND_ROW* row = FindKind(m_work.nKind);
    const bool number = row && row->nMax > 0;
    const bool week = row && row->bWeek;
    SetItemText(IDC_SCHEDULE_GROUP, row ? row->pszGroup : m_strOtherKind);
    SetItemText(IDC_SCHEDULE_EVERY_CAPTION, row ? row->pszCaption : "");
    SetItemText(IDC_SCHEDULE_EVERY_UNIT, row ? row->pszUnit : "");
    for (int id : {IDC_SCHEDULE_EVERY_CAPTION, IDC_SCHEDULE_EVERY_UNIT})
        ShowItem(id, number || week);
    for (int id : {IDC_SCHEDULE_EVERY, IDC_SCHEDULE_EVERY_SPIN})
        ShowItem(id, number);
    ShowItem(IDC_SCHEDULE_WEEK, week);
    // At logon, at start-up and when idle have no time of their own.
    for (int id : {IDC_SCHEDULE_TIME, IDC_SCHEDULE_DATE})
        EnableItem(id, row != nullptr);
    for (int box = 0; box < 7; ++box)
        ShowItem(IDC_SCHEDULE_DAY_FIRST + box, row && row->bDays);

    // A stored interval beyond the usual range is shown, and kept, as it is.
    const int value = NumberOf(m_work);
    const int most = row && row->nMax > 0 ? row->nMax : 1;
    const HWND spin = GetDlgItem(IDC_SCHEDULE_EVERY_SPIN);
    SendMessageA(spin, UDM_SETRANGE32, 1, value > most ? value : most);
    SendMessageA(spin, UDM_SETPOS32, 0, value >= 1 ? value : 1);
    const int which = m_work.nWhichWeek >= 1 && m_work.nWhichWeek <= 5 ? m_work.nWhichWeek : 1;
    SendMessageA(GetDlgItem(IDC_SCHEDULE_WEEK), CB_SETCURSEL, which - 1, 0);
}

SCHEDULE_TRIGGER CScheduleDlg::Collect() const
{
    SCHEDULE_TRIGGER trigger = m_work;
    SYSTEMTIME date{};
    SYSTEMTIME time{};
    if (SendMessageA(GetDlgItem(IDC_SCHEDULE_DATE), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&date)) == GDT_VALID) {
        trigger.nBeginYear = date.wYear;
        trigger.nBeginMonth = date.wMonth;
        trigger.nBeginDay = date.wDay;
    }
    if (SendMessageA(GetDlgItem(IDC_SCHEDULE_TIME), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time)) == GDT_VALID) {
        trigger.nStartHour = time.wHour;
        trigger.nStartMinute = time.wMinute;
    }
    BOOL failed = FALSE;
    const int value = static_cast<int>(SendMessageA(GetDlgItem(IDC_SCHEDULE_EVERY_SPIN), UDM_GETPOS32, 0,
                                                    reinterpret_cast<LPARAM>(&failed)));
    const int number = failed || value < 1 ? 1 : value;
    unsigned days = 0;
    for (int box = 0; box < 7; ++box) {
        if (IsItemChecked(IDC_SCHEDULE_DAY_FIRST + box))
            days |= DayBit(box);
    }
    const bool monthly = trigger.nKind == SCHEDULE_MONTHLY_DATE || trigger.nKind == SCHEDULE_MONTHLY_DOW;
    if (monthly && (trigger.nMonths & kEveryMonth) == 0)
        trigger.nMonths = kEveryMonth;
    switch (trigger.nKind) {
    case SCHEDULE_DAILY:
        trigger.nDaysInterval = number;
        break;
    case SCHEDULE_WEEKLY:
        trigger.nWeeksInterval = number;
        trigger.nDaysOfWeek = days;
        break;
    case SCHEDULE_MONTHLY_DATE:
        // The field shows the first of the trigger's days: the others go only when it changes.
        if (trigger.nDaysOfMonth == 0 || number != FirstDayOfMonth(trigger.nDaysOfMonth))
            trigger.nDaysOfMonth = 1u << (number - 1);
        break;
    case SCHEDULE_MONTHLY_DOW:
        trigger.nWhichWeek =
            static_cast<int>(SendMessageA(GetDlgItem(IDC_SCHEDULE_WEEK), CB_GETCURSEL, 0, 0)) + 1;
        if (trigger.nWhichWeek < 1)
            trigger.nWhichWeek = m_work.nWhichWeek;
        trigger.nDaysOfWeek = days;
        break;
    default:
        break;
    }
    // A schedule the user sets is in force.
    trigger.nFlags &= ~kScheduleDisabled;
    return trigger;
}

void CScheduleDlg::ShowPreview() const
{
    if (m_bLoading)
        return;
    const SCHEDULE_TRIGGER trigger = Collect();
    SetItemText(IDC_SCHEDULE_PREVIEW, ComposeTriggerText(trigger));
    if (trigger.nKind == SCHEDULE_MONTHLY_DATE)
        SetItemText(IDC_SCHEDULE_EVERY_UNIT, MonthDaysUnit(trigger.nDaysOfMonth));
}

bool CScheduleDlg::OnCommand(int id, int code, HWND control)
{
    if (id == IDC_SCHEDULE_KIND && code == CBN_SELCHANGE) {
        m_work = Collect();
        const LRESULT index = SendMessageA(control, CB_GETCURSEL, 0, 0);
        m_work.nKind = static_cast<int>(SendMessageA(control, CB_GETITEMDATA, index, 0));
        m_bLoading = true;
        ShowKind();
        m_bLoading = false;
        ShowPreview();
        return true;
    }
    if ((id == IDC_SCHEDULE_EVERY && code == EN_CHANGE) || (id == IDC_SCHEDULE_WEEK && code == CBN_SELCHANGE) ||
        (id >= IDC_SCHEDULE_DAY_FIRST && id < IDC_SCHEDULE_DAY_FIRST + 7 && code == BN_CLICKED)) {
        ShowPreview();
        return true;
    }
    return CDialog::OnCommand(id, code, control);
}

bool CScheduleDlg::OnNotify(NMHDR* header, LRESULT& result)
{
    if (header->code == DTN_DATETIMECHANGE) {
        ShowPreview();
        result = 0;
        return true;
    }
    return CDialog::OnNotify(header, result);
}

void CScheduleDlg::OnOK()
{
    const SCHEDULE_TRIGGER trigger = Collect();
    const KIND_ROW* row = FindKind(trigger.nKind);
    if (row && row->bDays && trigger.nDaysOfWeek == 0) {
        MessageBoxWithCaption(m_hWnd, "Select at least one day of the week.", "Hivora", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    m_trigger = trigger;
    EndDialog(IDOK);
}
