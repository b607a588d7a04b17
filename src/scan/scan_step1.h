#pragma once

#include "controls/xp_button.h"
#include "framework/dialog.h"

class CHivoraDlg;

// Scan Now, first step: the three scan buttons (the panel's ticks, the standard set, everything),
// and the Update and Statistics buttons. Quick Scan of the category panel reaches StartScan too.
class CScanStep1Dlg : public CDialog {
public:
    explicit CScanStep1Dlg(CHivoraDlg& main);

    // Starts a scan of the categories ticked in the panel; false when none is ticked, the scan
    // could not start (nothing changes then), or a scan, repair or restore is still running.
    bool StartScan();

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnShowWindow(bool show, UINT status) override;

private:
    // Ticks every category and stores the ticks; the standard set leaves shortcuts and deep scan out.
    void TickCategories(bool standard) const;

    CHivoraDlg& m_main;
    CXPButton m_scanSelected;
    CXPButton m_scanStandard;
    CXPButton m_scanFull;
    CXPButton m_update;
    CXPButton m_statistics;
};
