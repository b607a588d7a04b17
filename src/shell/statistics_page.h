#pragma once

#include "controls/label.h"
#include "controls/xp_button.h"
#include "framework/dialog.h"
#include "scan/problem.h"

class CHivoraDlg;

// The statistics page: errors found, cleaned and ignored per category, the running totals, the
// last scan's date and time, and the product's version. Numbers are read anew at each show.
class CStatisticsDlg : public CDialog {
public:
    explicit CStatisticsDlg(CHivoraDlg& main);

    void ShowStatistics();

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnShowWindow(bool show, UINT status) override;

private:
    CHivoraDlg& m_main;
    bool m_bCleared = false;
    CLabel m_foundCaption;
    CLabel m_cleanedCaption;
    CLabel m_foundTotal;
    CLabel m_cleanedTotal;
    CLabel m_date;
    CLabel m_time;
    CLabel m_version;
    CLabel m_updated;
    CLabel m_rowCaptions[kCategoryCount];
    CLabel m_rowFound[kCategoryCount];
    CLabel m_rowCleaned[kCategoryCount];
    CLabel m_rowIgnored[kCategoryCount];
    CXPButton m_update;
    CXPButton m_statistics;
    CXPButton m_ok;
    CXPButton m_clear;
};
