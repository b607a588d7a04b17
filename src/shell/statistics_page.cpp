#include "shell/statistics_page.h"

#include <string>

#include "repair/ignore_list.h"
#include "resources/resource.h"
#include "shell/main_dlg.h"
#include "shell/statistics.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(0xC3, 0x0A, 0x0A);

void Bind(CLabel& label, int id, HWND page, int points, COLORREF colour)
{
    label.SubclassDlgItem(id, page);
    StyleLabel(label, "Arial", points, colour, kWhite);
}

} // namespace

CStatisticsDlg::CStatisticsDlg(CHivoraDlg& main) : CDialog(IDD_STATISTICS), m_main(main) {}

BOOL CStatisticsDlg::OnInitDialog()
{
    SetBackground(IDB_STATISTICS_BACKGROUND);
    SetAccessibleText("Statistics", "", ROLE_SYSTEM_PROPERTYPAGE);
    Bind(m_foundCaption, IDC_STAT_FOUND_CAPTION, m_hWnd, 10, kWhite);
    m_foundCaption.SetCaption("Error(s) Found Till Date");
    Bind(m_cleanedCaption, IDC_STAT_CLEANED_CAPTION, m_hWnd, 10, kWhite);
    m_cleanedCaption.SetCaption("Error(s) Cleaned Till Date");
    Bind(m_foundTotal, IDC_STAT_FOUND_TOTAL, m_hWnd, 16, kWhite);
    Bind(m_cleanedTotal, IDC_STAT_CLEANED_TOTAL, m_hWnd, 16, kWhite);
    // The captions and column headings the picture shows describe the values beside and below them.
    Bind(m_date, IDC_STAT_DATE, m_hWnd, 8, kRed);
    m_date.SetAccessibleText("", "Last Scan Review, Date and Time");
    Bind(m_time, IDC_STAT_TIME, m_hWnd, 8, kRed);
    m_time.SetAccessibleText("", "Last Scan Review, Date and Time");
    Bind(m_version, IDC_STAT_VERSION, m_hWnd, 8, kBlack);
    m_version.SetCaption(kProductVersion);
    m_version.SetAccessibleText("", "Product Summary, Version");
    Bind(m_updated, IDC_STAT_UPDATED, m_hWnd, 8, kBlack);
    m_updated.SetCaption(kLastUpdated);
    m_updated.SetAccessibleText("", "Product Summary, Last Updated");
    for (int row = 0; row < kCategoryCount; ++row) {
        Bind(m_rowCaptions[row], IDC_STAT_ROW_CAPTION_FIRST + row, m_hWnd, 8, kBlack);
        m_rowCaptions[row].SetCaption(g_aStatisticsRows[row].pszCaption);
        m_rowCaptions[row].SetAccessibleText("", "Category");
        Bind(m_rowFound[row], IDC_STAT_ROW_FOUND_FIRST + row, m_hWnd, 8, kRed);
        m_rowFound[row].SetAccessibleText("", "Error(s)");
        Bind(m_rowCleaned[row], IDC_STAT_ROW_CLEANED_FIRST + row, m_hWnd, 8, kRed);
        m_rowCleaned[row].SetAccessibleText("", "Cleaned");
        Bind(m_rowIgnored[row], IDC_STAT_ROW_IGNORED_FIRST + row, m_hWnd, 8, kRed);
        m_rowIgnored[row].SetAccessibleText("", "Ignored");
    }
    m_update.Bind(m_hWnd, IDC_STAT_UPDATE, IDB_UPDATE, IDB_UPDATE_HOT);
    m_statistics.Bind(m_hWnd, IDC_STAT_STATISTICS, IDB_STATISTICS, IDB_STATISTICS_HOT);
    m_ok.Bind(m_hWnd, IDC_STAT_OK, IDB_OK, IDB_OK_HOT);
    m_clear.Bind(m_hWnd, IDC_STAT_CLEAR, IDB_CLEAR_STATISTICS, IDB_CLEAR_STATISTICS_HOT);

    // The process's ignore list is read here, once.
    LoadIgnoreList();
    m_bCleared = false;
    ShowStatistics();
    return TRUE;
}

void CStatisticsDlg::ShowStatistics()
{
    const STATISTICS figures = LoadStatistics(g_arrIgnoreTypes, m_bCleared);
    m_foundTotal.SetCaption(std::to_string(figures.nFoundTillDate));
    m_cleanedTotal.SetCaption(std::to_string(figures.nFixedTillDate));
    const auto [date, time] = SplitLastScan(figures.strLastScan);
    m_date.SetCaption(date);
    m_time.SetCaption(time);
    for (int row = 0; row < kCategoryCount; ++row) {
        const REGPROBLEM_TYPE type = g_aStatisticsRows[row].nType;
        m_rowFound[row].SetCaption(std::to_string(figures.anFound[type]));
        m_rowCleaned[row].SetCaption(std::to_string(figures.anFixed[type]));
        m_rowIgnored[row].SetCaption(std::to_string(figures.anIgnored[type]));
    }
}

bool CStatisticsDlg::OnCommand(int id, int code, HWND control)
{
    switch (id) {
    case IDC_STAT_UPDATE:
        m_main.ShowPage(PAGE_UPDATES);
        return true;
    case IDC_STAT_STATISTICS:
        return true;
    case IDC_STAT_OK:
        m_main.HideAllPages();
        m_main.ShowScanTab();
        return true;
    case IDC_STAT_CLEAR:
        ClearStatistics();
        m_bCleared = true;
        ShowStatistics();
        return true;
    default:
        return CDialog::OnCommand(id, code, control);
    }
}

void CStatisticsDlg::OnShowWindow(bool show, UINT)
{
    // Only a page coming into view takes the focus: one being hidden would carry it away.
    if (show)
        SetFocus(GetDlgItem(IDC_STAT_STATISTICS));
    m_main.SetPressedTab(0);
    m_main.GetCategoryPanel().Show(false);
    ShowStatistics();
}
