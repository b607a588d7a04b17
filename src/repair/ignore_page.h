#pragma once

#include "controls/xp_button.h"
#include "framework/dialog.h"
#include "framework/list_ctrl.h"
#include "shell/settings_buttons.h"

class CHivoraDlg;

// The Ignore List page of the Settings tab: the ignore list newest first, and Remove over the
// selected rows.
class CISettingsDlg : public CDialog {
public:
    explicit CISettingsDlg(CHivoraDlg& main);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnShowWindow(bool show, UINT status) override;

private:
    void FillList() const;
    void RemoveSelected() const;

    CHivoraDlg& m_main;
    CListCtrl m_list;
    CXPButton m_remove;
    CSettingsButtons m_buttons;
};
