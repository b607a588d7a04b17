#include "scan/scan_step1.h"

#include <algorithm>
#include <cstdint>

#include "framework/msgbox.h"
#include "framework/page_worker.h"
#include "framework/product_name.h"
#include "resources/resource.h"
#include "scan/scan_step2.h"
#include "scan/scanner.h"
#include "shell/logfile.h"
#include "shell/main_dlg.h"
#include "shell/settings.h"

CScanStep1Dlg::CScanStep1Dlg(CHivoraDlg& main) : CDialog(IDD_SCANSTEP1), m_main(main) {}

BOOL CScanStep1Dlg::OnInitDialog()
{
    SetBackground(IDB_SCANSTEP1_BACKGROUND);
    // The picture's heading, instruction and the words beside each scan button, for screen readers.
    SetAccessibleText("Scan Now", "Choose how thoroughly " HV_PRODUCT_NAME " looks through the registry.", ROLE_SYSTEM_PROPERTYPAGE);
    m_scanSelected.Bind(m_hWnd, IDC_SCAN_SELECTED, IDB_SCAN_SELECTED, IDB_SCAN_SELECTED_HOT);
    m_scanSelected.SetAccessibleText("", "Only the areas ticked on the left.");
    m_scanStandard.Bind(m_hWnd, IDC_SCAN_STANDARD, IDB_SCAN_STANDARD, IDB_SCAN_STANDARD_HOT);
    m_scanStandard.SetAccessibleText("", "The recommended areas, for every day.");
    m_scanFull.Bind(m_hWnd, IDC_SCAN_FULL, IDB_SCAN_FULL, IDB_SCAN_FULL_HOT);
    m_scanFull.SetAccessibleText("", "Every area, with the deep scan.");
    m_update.Bind(m_hWnd, IDC_PAGE_UPDATE, IDB_UPDATE, IDB_UPDATE_HOT);
    m_statistics.Bind(m_hWnd, IDC_PAGE_STATISTICS, IDB_STATISTICS, IDB_STATISTICS_HOT);
    return TRUE;
}

void CScanStep1Dlg::OnShowWindow(bool show, UINT)
{
    if (!show)
        return;
    m_main.SetPressedTab(IDC_TAB_SCANNOW);
    CLeftCategoryDlg& panel = m_main.GetCategoryPanel();
    panel.Enable(true);
    panel.Show(true);
    panel.ShowQuickScan(false);
}

void CScanStep1Dlg::TickCategories(bool standard) const
{
    for (int type = 0; type < kCategoryCount; ++type) {
        const auto category = static_cast<REGPROBLEM_TYPE>(type);
        const bool tick = !standard || (category != RPT_SHORTCUTS && category != RPT_DEEP_SCAN);
        m_main.GetCategoryPanel().SetChecked(category, tick);
        WriteSettingInt(CategoryInfo(category).pszSettingKey, tick ? 1 : 0);
    }
}

bool CScanStep1Dlg::StartScan()
{
    uint8_t flags[kCategoryCount] = {};
    m_main.GetCategoryPanel().GetSelection(flags);
    if (std::none_of(flags, flags + kCategoryCount, [](uint8_t f) { return f != 0; })) {
        AfxMessageBox("Please select at least one item.", MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    // The engine of the last scan is replaced below: never while a scan, a repair or a restore runs.
    if (CPageWorker::AnyExclusiveBusy())
        return false;
    auto* progress = dynamic_cast<CScanStep2Dlg*>(m_main.GetPage(PAGE_SCANSTEP2));
    if (!progress)
        return false;

    // A start that fails changes nothing: no page, stage, engine or counter. The worker's first
    // messages wait until this handler has returned, so the page is ready for them below.
    auto engine = std::make_unique<CRegistryScanner>();
    engine->SetCategorySelection(flags);
    if (!engine->StartScan(progress->GetSafeHwnd())) {
        const char* refusal = WrongBuildRefusal();
        LogMessage(refusal ? std::string("Scan refused, nothing was scanned: ") + refusal
                           : std::string("The scan could not be started: no worker thread"),
                   LOG_ERROR);
        AfxMessageBox(refusal ? refusal : "The scan could not be started. Please close other programs and try again.",
                      MB_OK | MB_ICONERROR);
        return false;
    }
    g_pScanner = std::move(engine);

    m_main.ScanStarted();
    m_main.ShowPage(PAGE_SCANSTEP2);
    // Stop takes the keys before the panel and the strip (Quick Scan among them) go out of use.
    progress->FocusItem(IDC_SCAN_STOP);
    m_main.GetCategoryPanel().Enable(false);
    progress->BeginScan(*g_pScanner);
    m_main.EnableStrip(false);
    return true;
}

bool CScanStep1Dlg::OnCommand(int id, int code, HWND control)
{
    if (code != BN_CLICKED)
        return CDialog::OnCommand(id, code, control);
    switch (id) {
    case IDC_SCAN_STANDARD:
    case IDC_SCAN_FULL:
        TickCategories(id == IDC_SCAN_STANDARD);
        StartScan();
        return true;
    case IDC_SCAN_SELECTED:
        StartScan();
        return true;
    case IDC_PAGE_UPDATE:
        m_main.ShowPage(PAGE_UPDATES);
        return true;
    case IDC_PAGE_STATISTICS:
        m_main.ShowPage(PAGE_STATISTICS);
        return true;
    default:
        return CDialog::OnCommand(id, code, control);
    }
}
