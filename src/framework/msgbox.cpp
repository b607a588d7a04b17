#include "framework/msgbox.h"

#include "framework/dialog.h"
#include "framework/page_worker.h"
#include "framework/product_name.h"

int AfxMessageBox(const std::string& text, UINT type)
{
    const HWND main = AfxGetMainWnd();
    if (main && GetWindowThreadProcessId(main, nullptr) != GetCurrentThreadId()) {
        // A worker's question is asked by the window's thread, so the box is owned by the window
        // and never opens behind it.
        return static_cast<int>(RunOnWindowThread(main, [&] { return static_cast<LRESULT>(AfxMessageBox(text, type)); }));
    }
    HWND owner = GetActiveWindow();
    if (!owner)
        owner = main;
    return MessageBoxWithCaption(owner, text, HV_PRODUCT_NAME, type);
}

int MessageBoxWithCaption(HWND owner, const std::string& text, const std::string& caption, UINT type)
{
    // The program is closing: every question is answered as cancelled, without a box.
    if (CPageWorker::IsClosing())
        return IDCANCEL;
    const CModalScope modal;
    return MessageBoxA(owner, text.c_str(), caption.c_str(), type);
}
