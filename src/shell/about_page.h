#pragma once

#include "controls/label.h"
#include "controls/xp_button.h"
#include "framework/dialog.h"

class CHivoraDlg;

// The About page: the program's picture and version, and the buttons OK, Update and Statistics.
class CaboutDlg : public CDialog {
public:
    explicit CaboutDlg(CHivoraDlg& main);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnShowWindow(bool show, UINT status) override;

private:
    CHivoraDlg& m_main;
    CLabel m_version;
    CXPButton m_ok;
    CXPButton m_update;
    CXPButton m_statistics;
};
