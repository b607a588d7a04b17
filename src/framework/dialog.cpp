#include "framework/dialog.h"

#include "framework/window.h"

namespace {

constexpr const char* kDialogProp = "HivoraDialogObject";

} // namespace

CDialog::~CDialog()
{
    if (m_hWnd && !m_bModal)
        DestroyWindow(m_hWnd);
    if (m_hWnd)
        RemovePropA(m_hWnd, kDialogProp);
    m_hWnd = nullptr;
}

CDialog* CDialog::FromHandle(HWND wnd)
{
    return wnd ? static_cast<CDialog*>(GetPropA(wnd, kDialogProp)) : nullptr;
}

INT_PTR CDialog::DoModal(HWND parent)
{
    if (m_hWnd)
        return -1;
    m_bModal = true;
    const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_nTemplateId), parent,
                                           StaticProc, reinterpret_cast<LPARAM>(this));
    m_bModal = false;
    return result;
}

bool CDialog::Create(HWND parent)
{
    if (m_hWnd)
        return false;
    m_bModal = false;
    return CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_nTemplateId), parent, StaticProc,
                              reinterpret_cast<LPARAM>(this)) != nullptr;
}

void CDialog::EndDialog(INT_PTR result)
{
    if (!m_hWnd)
        return;
    if (m_bModal)
        ::EndDialog(m_hWnd, result);
    else
        DestroyWindow(m_hWnd);
}

void CDialog::ShowWindow(int command) const
{
    if (m_hWnd)
        ::ShowWindow(m_hWnd, command);
}

void CDialog::MoveWindow(int x, int y, int width, int height) const
{
    if (m_hWnd)
        ::MoveWindow(m_hWnd, x, y, width, height, TRUE);
}

bool CDialog::OnCommand(int id, int, HWND)
{
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

bool CDialog::OnNotify(NMHDR*, LRESULT&)
{
    return false;
}

bool CDialog::OnDrawItem(int, DRAWITEMSTRUCT* item)
{
    // Owner-drawn controls bound to an object draw themselves.
    return CWindow::FromHandle(item->hwndItem) &&
           SendMessageA(item->hwndItem, WM_REFLECT_DRAWITEM, 0, reinterpret_cast<LPARAM>(item)) != 0;
}

void CDialog::OnTimer(UINT_PTR) {}

void CDialog::OnShowWindow(bool, UINT) {}

bool CDialog::OnEraseBkgnd(HDC)
{
    return false;
}

HBRUSH CDialog::OnCtlColor(HDC, HWND, UINT)
{
    return nullptr;
}

void CDialog::OnOK()
{
    if (m_bModal)
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    if (m_bModal)
        EndDialog(IDCANCEL);
}

INT_PTR CDialog::DialogProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (!OnNotify(reinterpret_cast<NMHDR*>(lParam), result))
            return FALSE;
        SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    case WM_DRAWITEM:
        return OnDrawItem(static_cast<int>(wParam), reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
    case WM_TIMER:
        OnTimer(wParam);
        return TRUE;
    case WM_SHOWWINDOW:
        OnShowWindow(wParam != 0, static_cast<UINT>(lParam));
        return FALSE;
    case WM_ERASEBKGND:
        if (!OnEraseBkgnd(reinterpret_cast<HDC>(wParam)))
            return FALSE;
        SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, 1);
        return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORDLG:
        return reinterpret_cast<INT_PTR>(OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), msg));
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK CDialog::StaticProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CDialog* self = FromHandle(wnd);
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        if (!self || !SetPropA(wnd, kDialogProp, self))
            return FALSE;
        self->m_hWnd = wnd;
    }
    if (!self)
        return FALSE;
    INT_PTR result = FALSE;
    try {
        result = self->DialogProc(msg, wParam, lParam);
    } catch (...) {
        result = FALSE;
    }
    if (msg == WM_NCDESTROY) {
        RemovePropA(wnd, kDialogProp);
        self->m_hWnd = nullptr;
    }
    return result;
}
