#pragma once

#include "framework/dialog.h"

// The splash picture: a borderless modal window that closes itself after four seconds. The picture
// leaves the product line to the window, which writes it with the program's version.
class CSplashscrdlg : public CDialog {
public:
    CSplashscrdlg();

protected:
    BOOL OnInitDialog() override;
    void OnTimer(UINT_PTR id) override;
    bool OnEraseBkgnd(HDC dc) override;
};
