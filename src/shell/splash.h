#pragma once

#include "framework/dialog.h"

// The splash picture: a borderless modal window that closes itself after four seconds.
class CSplashscrdlg : public CDialog {
public:
    CSplashscrdlg();

protected:
    BOOL OnInitDialog() override;
    void OnTimer(UINT_PTR id) override;
};
