#include "shell/schedule_dialog.h"

#include <commctrl.h>

#include "framework/msgbox.h"
#include "resources/resource.h"

namespace {

struct KIND_ROW {
    int nKind;
    const char* pszName;
    const char* pszGroup;
    const char* pszEvery;
    const char* pszUnit;
    int nMax;
};

const KIND_ROW kKinds[] = {
    {SCHEDULE_ONCE, "Once", "Schedule Task Once", "", "", 0},
    {SCHEDULE_DAILY, "Daily", "Schedule Task Daily", "Every", "day(s)", 365},
    {SCHEDULE_WEEKLY, "Weekly", "Schedule Task Weekly", "Every", "week(s) on:", 52},
    {SCHEDULE_MONTHLY_DATE, "Monthly", "Schedule Task Monthly", "Day", "of every month", 31},
};

// The day boxes run Monday to Sunday; the trigger's bits run Sunday (bit 0) to Saturday.
unsigned DayBit(int box)
{
    return 1u << ((box + 1) % 7);
}

const KIND_ROW& KindRow(int kind)
{
    for (const KIND_ROW& row : kKinds) {
        if (row.nKind == kind)
            return row;
    }
    return kKinds[2];
}

int FirstDayOfMonth(uint32_t days)
{
    for (int day = 1; day <= 31; ++day) {
        if (days & (1u << (day - 1)))
            return day;
    }
    return 1;
}

} // namespace

CScheduleDlg::CScheduleDlg(SCHEDULE_TRIGGER& trigger) : CDialog(IDD_SCHEDULE_DIALOG), m_trigger(trigger), m_work(trigger)
{
    // The date and time pickers of the template.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_DATE_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);
    if (m_work.nKind == SCHEDULE_MONTHLY_DOW)
        m_work.nKind = SCHEDULE_MONTHLY_DATE;
    if (m_work.nKind < SCHEDULE_ONCE || m_work.nKind > SCHEDULE_MONTHLY_DATE)
        m_work.nKind = SCHEDULE_WEEKLY;
}

BOOL CScheduleDlg::OnInitDialog()
{
    m_bLoading = true;
    const HWND kinds = GetDlgItem(IDC_SCHEDULE_KIND);
    for (const KIND_ROW& row : kKinds) {
        const LRESULT index = SendMessageA(kinds, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.pszName));
        SendMessageA(kinds, CB_SETITEMDATA, index, row.nKind);
        if (row.nKind == m_work.nKind)
            SendMessageA(kinds, CB_SETCURSEL, index, 0);
    }
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
    const KIND_ROW& row = KindRow(m_work.nKind);
    const bool every = row.nMax > 0;
    SetItemText(IDC_SCHEDULE_GROUP, row.pszGroup);
    SetItemText(IDC_SCHEDULE_EVERY_CAPTION, row.pszEvery);
    SetItemText(IDC_SCHEDULE_EVERY_UNIT, row.pszUnit);
    for (int id : {IDC_SCHEDULE_EVERY_CAPTION, IDC_SCHEDULE_EVERY, IDC_SCHEDULE_EVERY_SPIN, IDC_SCHEDULE_EVERY_UNIT})
        ShowItem(id, every);
    for (int box = 0; box < 7; ++box)
        ShowItem(IDC_SCHEDULE_DAY_FIRST + box, m_work.nKind == SCHEDULE_WEEKLY);

    int value = 1;
    if (m_work.nKind == SCHEDULE_DAILY)
        value = m_work.nDaysInterval;
    else if (m_work.nKind == SCHEDULE_WEEKLY)
        value = m_work.nWeeksInterval;
    else if (m_work.nKind == SCHEDULE_MONTHLY_DATE)
        value = FirstDayOfMonth(m_work.nDaysOfMonth);
    const HWND spin = GetDlgItem(IDC_SCHEDULE_EVERY_SPIN);
    SendMessageA(spin, UDM_SETRANGE32, 1, row.nMax > 0 ? row.nMax : 1);
    SendMessageA(spin, UDM_SETPOS32, 0, value >= 1 && value <= row.nMax ? value : 1);
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
    const int every = failed || value < 1 ? 1 : value;
    unsigned days = 0;
    for (int box = 0; box < 7; ++box) {
        if (IsItemChecked(IDC_SCHEDULE_DAY_FIRST + box))
            days |= DayBit(box);
    }
    switch (trigger.nKind) {
    case SCHEDULE_DAILY:
        trigger.nDaysInterval = every;
        break;
    case SCHEDULE_WEEKLY:
        trigger.nWeeksInterval = every;
        trigger.nDaysOfWeek = days;
        break;
    case SCHEDULE_MONTHLY_DATE:
        trigger.nDaysOfMonth = 1u << (every - 1);
        trigger.nMonths = 0xFFF;
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
    if (!m_bLoading)
        SetItemText(IDC_SCHEDULE_PREVIEW, ComposeTriggerText(Collect()));
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
    if ((id == IDC_SCHEDULE_EVERY && code == EN_CHANGE) ||
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
    if (trigger.nKind == SCHEDULE_WEEKLY && trigger.nDaysOfWeek == 0) {
        MessageBoxWithCaption(m_hWnd, "Select at least one day of the week.", "Hivora", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    m_trigger = trigger;
    EndDialog(IDOK);
}
