#include "shell/settings_buttons.h"

#include "resources/resource.h"
#include "shell/main_dlg.h"

namespace {

const struct BUTTON {
    int nId;
    UINT nNormal;
    UINT nHot;
} kButtons[] = {
    {IDC_TAB_GENERAL, IDB_TAB_GENERAL, IDB_TAB_GENERAL_HOT},
    {IDC_TAB_IGNORE, IDB_TAB_IGNORE, IDB_TAB_IGNORE_HOT},
    {IDC_TAB_SCHEDULE, IDB_TAB_SCHEDULE, IDB_TAB_SCHEDULE_HOT},
    {IDC_SETTINGS_UPDATE, IDB_UPDATE, IDB_UPDATE_HOT},
    {IDC_PAGE_STATISTICS, IDB_STATISTICS, IDB_STATISTICS_HOT},
    {IDC_PAGE_OK, IDB_OK, IDB_OK_HOT},
};

} // namespace

void CSettingsButtons::Attach(HWND page)
{
    static_assert(sizeof kButtons / sizeof kButtons[0] == sizeof m_buttons / sizeof m_buttons[0]);
    // A page lacks the sub-tab to itself: Bind skips a missing button.
    for (size_t i = 0; i < sizeof kButtons / sizeof kButtons[0]; ++i)
        m_buttons[i].Bind(page, kButtons[i].nId, kButtons[i].nNormal, kButtons[i].nHot);
}

bool CSettingsButtons::OnCommand(CHivoraDlg& main, int id)
{
    switch (id) {
    case IDC_TAB_GENERAL:
        main.ShowPage(PAGE_GENERAL);
        return true;
    case IDC_TAB_IGNORE:
        main.ShowPage(PAGE_IGNORE);
        return true;
    case IDC_TAB_SCHEDULE:
        main.ShowPage(PAGE_SCHEDULE);
        return true;
    case IDC_SETTINGS_UPDATE:
        main.ShowPage(PAGE_UPDATES);
        return true;
    case IDC_PAGE_STATISTICS:
        main.ShowPage(PAGE_STATISTICS);
        return true;
    case IDC_PAGE_OK:
        main.HideAllPages();
        main.ShowScanTab();
        return true;
    default:
        return false;
    }
}
