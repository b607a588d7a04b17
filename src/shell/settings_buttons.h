#pragma once

#include <windows.h>

#include "controls/xp_button.h"

class CHivoraDlg;

// The buttons the pages of the Settings tab share: the sub-tabs to the other pages of the tab,
// Update and Statistics at the top right and OK at the bottom right.
class CSettingsButtons {
public:
    // Takes over those of the buttons that the page has.
    void Attach(HWND page);
    // Switches pages for one of the buttons; false for any other control.
    static bool OnCommand(CHivoraDlg& main, int id);

private:
    CXPButton m_buttons[6];
};
