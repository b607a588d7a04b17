#pragma once

#include "controls/label.h"
#include "controls/xp_button.h"
#include "framework/dialog.h"
#include "shell/settings_buttons.h"

class CHivoraDlg;

// The Scheduling page of the Settings tab: the triggers of the scheduled task that starts the
// program, Manage Schedule, the sub-tabs and the navigation buttons. Building the page makes sure
// the task exists.
class CSSettings : public CDialog {
public:
    explicit CSSettings(CHivoraDlg& main);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    void FillList() const;

    CHivoraDlg& m_main;
    CLabel m_label;
    CSettingsButtons m_buttons;
    CXPButton m_manage;
};
