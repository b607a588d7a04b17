#include "shell/splash.h"

#include "resources/resource.h"

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
