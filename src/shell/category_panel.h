#pragma once

#include <cstdint>

#include "controls/xp_button.h"
#include "framework/dialog.h"
#include "scan/problem.h"

class CHivoraDlg;

// The panel of the fifteen scan categories at the left of the main window: a box with its caption
// per category, each stored under its setting key as soon as it changes, and Quick Scan.
class CLeftCategoryDlg : public CDialog {
public:
    explicit CLeftCategoryDlg(CHivoraDlg& main);

    // The ticks of the fifteen boxes, indexed by REGPROBLEM_TYPE (1 ticked).
    void GetSelection(uint8_t flags[kCategoryCount]) const;
    void SetChecked(REGPROBLEM_TYPE type, bool checked) const;
    void ShowQuickScan(bool show) const;
    void EnableQuickScan(bool enable) const;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnShowWindow(bool show, UINT status) override;

private:
    void Store(int row) const;

    CHivoraDlg& m_main;
    GdiFont m_captionFont;
    CXPButton m_quickScan;
};
