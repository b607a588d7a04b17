#pragma once

#include "controls/label.h"
#include "controls/xp_button.h"
#include "framework/dialog.h"
#include "shell/settings_buttons.h"

class CHivoraDlg;

// The General Settings page of the Settings tab: eight switches, each stored the moment it
// changes, Open Log Folder, the sub-tabs and the navigation buttons.
class CGSettingsDlg : public CDialog {
public:
    static constexpr int kOptionCount = 8;

    explicit CGSettingsDlg(CHivoraDlg& main);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnNotify(NMHDR* header, LRESULT& result) override;
    void OnShowWindow(bool show, UINT status) override;

private:
    void Store(int option) const;
    void OpenLogFolder() const;

    CHivoraDlg& m_main;
    GdiFont m_captionFont;
    CLabel m_notRecommended;
    CSettingsButtons m_buttons;
    CXPButton m_openLog;
};
