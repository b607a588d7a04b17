#pragma once

#include <windows.h>

#include <memory>

#include "controls/xp_button.h"
#include "framework/dialog.h"
#include "shell/category_panel.h"

// The ten pages of the main window, in the order they are created.
enum PAGE_ID : int {
    PAGE_SCANSTEP1,
    PAGE_SCANSTEP2,
    PAGE_RESULTS,
    PAGE_GENERAL,
    PAGE_IGNORE,
    PAGE_SCHEDULE,
    PAGE_BACKUP,
    PAGE_UPDATES,
    PAGE_STATISTICS,
    PAGE_ABOUT,
    PAGE_COUNT
};

// Sent to the updates page by the automatic check at start (wParam and lParam 0).
constexpr UINT WM_START_UPDATE_CHECK = WM_APP + 0x100;

// The program's only top-level window: the tab strip, the category panel and the pages, one shown
// at a time. A page not built into the program is simply absent.
class CHivoraDlg : public CDialog {
public:
    CHivoraDlg();
    ~CHivoraDlg() override;

    void HideAllPages();
    void ShowScanTab();
    void ShowSettingsTab();
    void ShowBackupTab();
    void ShowAboutPage();
    // HideAllPages, then shows the page (above the category panel) when it exists.
    void ShowPage(PAGE_ID id);
    CDialog* GetPage(PAGE_ID id) const { return m_pages[id].get(); }
    CLeftCategoryDlg& GetCategoryPanel() { return m_categoryPanel; }

    // Gives one of the tabs IDC_TAB_SCANNOW, IDC_TAB_SETTINGS, IDC_TAB_BACKUP the pressed look and
    // the others the released look; 0 releases all three.
    void SetPressedTab(int id);
    // The strip's tabs and links and the panel's Quick Scan button, disabled while a scan, a repair
    // or a restore runs: they are enabled only when no such worker is busy.
    void EnableStrip(bool enable);
    // Quick Scan: a new scan from scan step 1 with the panel's current ticks.
    void QuickScan();
    // The one way out of the program (the close box, End task, "shutdown" after a repair, the end
    // of the session): open boxes are answered as cancelled, every page's worker is stopped and
    // waited for, then the dialog ends with result.
    void CloseProgram(INT_PTR result);

    // What the pages tell the window, so that the Scan Now tab brings back the scan's page.
    // A scan has started: scan step 2 shows it as a new scan; it runs until the user stops it.
    void ScanStarted();
    // The user has stopped the scan (its worker may still be finishing its item).
    void ScanStopped();
    // Scan step 2, or the results page, has been shown: the tab comes back to it.
    void ProgressShown();
    void ResultsShown();
    // The Scan Now tab shows scan step 1 again: Back, or a repair has ended.
    void BackToStep1();

    // Which page the Scan Now tab shows: 1 scan step 1, 2 scan step 2, 3 results.
    int GetScanStage() const { return m_nScanStage; }
    // From the start of a scan until the user's Stop; still true once the scan has ended by itself.
    bool IsScanRunning() const { return m_bScanRunning; }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnTimer(UINT_PTR id) override;
    void OnClose() override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnOK() override {}
    void OnCancel() override {}
    bool OnPaint() override;
    HCURSOR OnQueryDragIcon() override;

private:
    void CreatePages();
    void ShowPanel(bool quickScan);
    // The page of a tab (0: none pressed) with the enabled panel and its Quick Scan button.
    void ShowWithPanel(int tab, PAGE_ID id);
    void EndOpenDialogs() const;
    // The close path's second half, from the message loop: waits for the workers, ends the dialog.
    void FinishClose();

    CLeftCategoryDlg m_categoryPanel;
    std::unique_ptr<CDialog> m_pages[PAGE_COUNT];
    CXPButton m_tabScanNow;
    CXPButton m_tabSettings;
    CXPButton m_tabBackup;
    CXPButton m_linkHelp;
    CXPButton m_linkAbout;
    HICON m_hIcon = nullptr;
    int m_nScanStage = 1;
    bool m_bScanRunning = false;
    bool m_bClosing = false;
    bool m_bClosed = false;
    INT_PTR m_nCloseResult = IDCANCEL;
};

// The property that marks the main window, so that a second instance finds this program's window
// and no other window titled the same.
constexpr const char* kMainWindowProp = "HivoraMainWindow";
