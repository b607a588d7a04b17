#include "shell/splash.h"

#include <string>

#include "framework/gdi.h"
#include "resources/resource.h"
#include "shell/product.h"

namespace {

constexpr UINT_PTR kCloseTimer = 100;

} // namespace

CSplashscrdlg::CSplashscrdlg() : CDialog(IDD_SPLASH) {}

BOOL CSplashscrdlg::OnInitDialog()
{
    SetBackground(IDB_SPLASH);
    SetTimer(m_hWnd, kCloseTimer, 4000, nullptr);
    return TRUE;
}

void CSplashscrdlg::OnTimer(UINT_PTR id)
{
    if (id != kCloseTimer)
        return;
    KillTimer(m_hWnd, kCloseTimer);
    EndDialog(IDOK);
}

bool CSplashscrdlg::OnEraseBkgnd(HDC dc)
{
    if (!CDialog::OnEraseBkgnd(dc))
        return false;
    // On the picture's lower band, above its "Loading..." line.
    GdiFont font(CreateFontA(-14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial"));
    SavedDCState saved(dc);
    SelectScope selected(dc, font.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0xC8, 0xD8, 0xEC));
    SetTextAlign(dc, TA_LEFT | TA_BASELINE);
    const std::string line = std::string("Registry Cleaner ") + kProductVersion;
    TextOutA(dc, 24, 245, line.c_str(), static_cast<int>(line.size()));
    return true;
}
