#include "shell/main_dlg.h"

#include <shellapi.h>

#include <string>

#include "framework/page_worker.h"
#include "repair/backup_page.h"
#include "repair/ignore_page.h"
#include "repair/results_page.h"
#include "resources/resource.h"
#include "scan/scan_step1.h"
#include "scan/scan_step2.h"
#include "shell/about_page.h"
#include "shell/general_settings.h"
#include "shell/product.h"
#include "shell/schedule_page.h"
#include "shell/settings.h"
#include "shell/splash.h"
#include "shell/statistics_page.h"
#include "updates-page/updates_page.h"

namespace {

constexpr UINT_PTR kUpdateTimer = 100;
// Posted by CloseProgram: the rest of the close runs once the open boxes have returned.
constexpr UINT WM_FINISH_CLOSE = WM_APP + 0x120;

struct PLACE {
    int x, y, width, height;
};

PLACE PagePlace(PAGE_ID id)
{
    switch (id) {
    case PAGE_RESULTS:
        return {12, 142, 778, 423};
    case PAGE_STATISTICS:
        return {12, 146, 778, 444};
    default:
        return {204, 142, 586, 423};
    }
}

// Message boxes, the splash, the Open dialog and the schedule dialog: every dialog of the thread but
// the main window, answered with Cancel.
BOOL CALLBACK EndOpenDialog(HWND wnd, LPARAM main)
{
    char className[16] = {};
    if (wnd != reinterpret_cast<HWND>(main) && GetClassNameA(wnd, className, sizeof className) &&
        lstrcmpA(className, "#32770") == 0)
        EndDialog(wnd, IDCANCEL);
    return TRUE;
}

void AddStyle(HWND wnd, LONG_PTR bits)
{
    SetWindowLongPtrA(wnd, GWL_STYLE, GetWindowLongPtrA(wnd, GWL_STYLE) | bits);
}

} // namespace

CHivoraDlg::CHivoraDlg()
    : CDialog(IDD_HIVORA_DIALOG),
      m_categoryPanel(*this),
      m_hIcon(static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON,
                                            0, 0, LR_DEFAULTSIZE | LR_SHARED)))
{
}

CHivoraDlg::~CHivoraDlg() = default;

void CHivoraDlg::CreatePages()
{
    // Each page of the program has its line here, in creation order.
    m_pages[PAGE_SCANSTEP1] = std::make_unique<CScanStep1Dlg>(*this);
    m_pages[PAGE_SCANSTEP2] = std::make_unique<CScanStep2Dlg>(*this);
    m_pages[PAGE_RESULTS] = std::make_unique<CScanResultsDlg>(*this);
    m_pages[PAGE_GENERAL] = std::make_unique<CGSettingsDlg>(*this);
    m_pages[PAGE_IGNORE] = std::make_unique<CISettingsDlg>(*this);
    m_pages[PAGE_SCHEDULE] = std::make_unique<CSSettings>(*this);
    m_pages[PAGE_BACKUP] = std::make_unique<CBackupDlg>(*this);
    m_pages[PAGE_UPDATES] = std::make_unique<CUpdates>(*this);
    m_pages[PAGE_STATISTICS] = std::make_unique<CStatisticsDlg>(*this);
    m_pages[PAGE_ABOUT] = std::make_unique<CaboutDlg>(*this);

    for (int id = 0; id < PAGE_COUNT; ++id) {
        CDialog* page = m_pages[id].get();
        if (!page)
            continue;
        if (!page->Create(m_hWnd)) {
            m_pages[id].reset();
            continue;
        }
        // Pages overlap the panel and each other: each paints only its own area.
        AddStyle(page->GetSafeHwnd(), WS_CLIPSIBLINGS);
        const PLACE place = PagePlace(static_cast<PAGE_ID>(id));
        page->MoveWindow(place.x, place.y, place.width, place.height);
    }
}

BOOL CHivoraDlg::OnInitDialog()
{
    SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    SetPropA(m_hWnd, kMainWindowProp, reinterpret_cast<HANDLE>(1));
    AfxSetMainWnd(m_hWnd);
    SetBackground(IDB_MAIN_BACKGROUND);
    // The picture's tagline under the name.
    SetAccessibleText("", "Registry Cleaner");

    if (m_categoryPanel.Create(m_hWnd)) {
        AddStyle(m_categoryPanel.GetSafeHwnd(), WS_CLIPSIBLINGS);
        m_categoryPanel.MoveWindow(12, 156, 190, 399);
    }
    CreatePages();
    if (CDialog* first = GetPage(PAGE_SCANSTEP1))
        first->Show(true);
    m_categoryPanel.Show(true);

    m_tabScanNow.Bind(m_hWnd, IDC_TAB_SCANNOW, IDB_TAB_SCANNOW, IDB_TAB_SCANNOW_HOT, IDB_TAB_SCANNOW_PRESSED);
    m_tabSettings.Bind(m_hWnd, IDC_TAB_SETTINGS, IDB_TAB_SETTINGS, IDB_TAB_SETTINGS_HOT, IDB_TAB_SETTINGS_PRESSED);
    m_tabBackup.Bind(m_hWnd, IDC_TAB_BACKUP, IDB_TAB_BACKUP, IDB_TAB_BACKUP_HOT, IDB_TAB_BACKUP_PRESSED);
    m_linkHelp.Bind(m_hWnd, IDC_LINK_HELP, IDB_LINK_HELP, IDB_LINK_HELP_HOT);
    m_linkAbout.Bind(m_hWnd, IDC_LINK_ABOUT, IDB_LINK_ABOUT, IDB_LINK_ABOUT_HOT);
    m_nScanStage = 1;

    if (ReadSettingInt("splshscrn") != 0) {
        // The window comes up first, so that the splash stands over it and closing it ends both.
        Show(true);
        UpdateWindow(m_hWnd);
        CSplashscrdlg splash;
        splash.DoModal(m_hWnd);
    }
    if (ReadSettingInt("autoupdts") != 0)
        SetTimer(m_hWnd, kUpdateTimer, 100, nullptr);
    SetPressedTab(IDC_TAB_SCANNOW);
    // The focus mark is always shown, not only once the keyboard has been used: posted, as the
    // dialog sets its keyboard cues after this initialisation.
    PostMessageA(m_hWnd, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    return TRUE;
}

void CHivoraDlg::HideAllPages()
{
    for (const auto& page : m_pages) {
        if (page)
            page->Show(false);
    }
}

void CHivoraDlg::ShowPage(PAGE_ID id)
{
    HideAllPages();
    if (CDialog* page = GetPage(id)) {
        SetWindowPos(page->GetSafeHwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        page->Show(true);
    }
}

void CHivoraDlg::SetPressedTab(int id)
{
    for (CXPButton* tab : {&m_tabScanNow, &m_tabSettings, &m_tabBackup}) {
        if (tab->GetSafeHwnd())
            SendMessageA(tab->GetSafeHwnd(), BM_SETSTATE, tab->GetDlgCtrlID() == id, 0);
    }
}

void CHivoraDlg::EnableStrip(bool enable)
{
    // A late end of one worker cannot free the strip while another still runs.
    enable = enable && !CPageWorker::AnyExclusiveBusy();
    for (CXPButton* button : {&m_tabScanNow, &m_tabSettings, &m_tabBackup, &m_linkHelp, &m_linkAbout}) {
        if (button->GetSafeHwnd())
            button->Enable(enable);
    }
    m_categoryPanel.EnableQuickScan(enable);
}

void CHivoraDlg::ShowPanel(bool quickScan)
{
    m_categoryPanel.Enable(true);
    m_categoryPanel.Show(true);
    m_categoryPanel.ShowQuickScan(quickScan);
}

void CHivoraDlg::ShowScanTab()
{
    // A page that is hidden may release the tabs: the pressed look comes after hiding.
    HideAllPages();
    SetPressedTab(IDC_TAB_SCANNOW);
    m_categoryPanel.ShowQuickScan(false);
    switch (m_nScanStage) {
    case 1:
        ShowPage(PAGE_SCANSTEP1);
        ShowPanel(false);
        break;
    case 2:
        ShowPage(PAGE_SCANSTEP2);
        m_categoryPanel.Enable(false);
        break;
    case 3:
        ShowPage(PAGE_RESULTS);
        m_categoryPanel.Enable(false);
        break;
    default:
        break;
    }
}

void CHivoraDlg::ShowWithPanel(int tab, PAGE_ID id)
{
    HideAllPages();
    SetPressedTab(tab);
    ShowPanel(true);
    ShowPage(id);
}

void CHivoraDlg::ShowSettingsTab()
{
    ShowWithPanel(IDC_TAB_SETTINGS, PAGE_GENERAL);
}

void CHivoraDlg::ShowBackupTab()
{
    ShowWithPanel(IDC_TAB_BACKUP, PAGE_BACKUP);
}

void CHivoraDlg::ShowAboutPage()
{
    ShowWithPanel(0, PAGE_ABOUT);
}

void CHivoraDlg::ScanStarted()
{
    m_bScanRunning = true;
    m_nScanStage = 1;
}

void CHivoraDlg::ScanStopped()
{
    m_bScanRunning = false;
}

void CHivoraDlg::ProgressShown()
{
    m_nScanStage = 2;
}

void CHivoraDlg::ResultsShown()
{
    m_nScanStage = 3;
}

void CHivoraDlg::BackToStep1()
{
    m_nScanStage = 1;
}

void CHivoraDlg::QuickScan()
{
    BackToStep1();
    if (CDialog* first = GetPage(PAGE_SCANSTEP1))
        SendMessageA(first->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_SCAN_SELECTED, BN_CLICKED), 0);
}

bool CHivoraDlg::OnCommand(int id, int code, HWND control)
{
    if (code != BN_CLICKED)
        return CDialog::OnCommand(id, code, control);
    switch (id) {
    case IDC_TAB_SCANNOW:
        ShowScanTab();
        return true;
    case IDC_TAB_SETTINGS:
        ShowSettingsTab();
        return true;
    case IDC_TAB_BACKUP:
        ShowBackupTab();
        return true;
    case IDC_LINK_ABOUT:
        ShowAboutPage();
        return true;
    case IDC_LINK_HELP:
        ShellExecuteA(m_hWnd, "open", (std::string("http://") + kProductHost + "/support.htm").c_str(), nullptr,
                      nullptr, SW_SHOWNORMAL);
        return true;
    default:
        return CDialog::OnCommand(id, code, control);
    }
}

void CHivoraDlg::OnTimer(UINT_PTR id)
{
    if (id != kUpdateTimer)
        return;
    KillTimer(m_hWnd, kUpdateTimer);
    if (CDialog* updates = GetPage(PAGE_UPDATES))
        SendMessageA(updates->GetSafeHwnd(), WM_START_UPDATE_CHECK, 0, 0);
}

void CHivoraDlg::EndOpenDialogs() const
{
    EnumThreadWindows(GetCurrentThreadId(), EndOpenDialog, reinterpret_cast<LPARAM>(m_hWnd));
}

void CHivoraDlg::OnClose()
{
    CloseProgram(IDCANCEL);
}

void CHivoraDlg::CloseProgram(INT_PTR result)
{
    if (m_bClosing)
        return;
    m_bClosing = true;
    m_nCloseResult = result;
    KillTimer(m_hWnd, kUpdateTimer);
    CPageWorker::BeginClosing();
    EndOpenDialogs();
    // A box ended here returns only after this handler has: a worker waiting for its answer is
    // waited for from the message loop, not from under the box.
    PostMessageA(m_hWnd, WM_FINISH_CLOSE, 0, 0);
}

void CHivoraDlg::FinishClose()
{
    if (m_bClosed)
        return;
    m_bClosed = true;
    // Nothing new may start while the workers finish.
    Enable(false);
    CPageWorker::WaitForAll();
    for (const auto& page : m_pages) {
        if (page && page->GetSafeHwnd())
            SendMessageA(page->GetSafeHwnd(), WM_CLOSE, 0, 0);
    }
    EndDialog(m_nCloseResult);
}

bool CHivoraDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != WM_FINISH_CLOSE)
        return CDialog::OnMessage(msg, wParam, lParam);
    FinishClose();
    return true;
}

INT_PTR CHivoraDlg::DialogProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    // The session ends when this returns: the close runs to its end here.
    if (msg == WM_ENDSESSION && wParam) {
        CloseProgram(IDCANCEL);
        FinishClose();
        return TRUE;
    }
    return CDialog::DialogProc(msg, wParam, lParam);
}

bool CHivoraDlg::OnPaint()
{
    if (!IsIconic(m_hWnd))
        return false;
    PaintDC dc(m_hWnd);
    SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.get()), 0);
    RECT client{};
    GetClientRect(m_hWnd, &client);
    const int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc.get(), x, y, m_hIcon);
    return true;
}

HCURSOR CHivoraDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}
