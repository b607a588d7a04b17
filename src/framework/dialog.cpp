#include "framework/dialog.h"

#include <optional>

#include "framework/fault.h"
#include "framework/focus.h"
#include "framework/page_worker.h"
#include "framework/window.h"

namespace {

constexpr const char* kDialogProp = "HivoraDialogObject";
// lParam: the std::function<LRESULT()> to run; the result goes back as the message's result.
constexpr UINT WM_RUN_ON_THREAD = WM_APP + 0x3F0;

constexpr int kDesignBaseX = 6;
constexpr int kDesignBaseY = 13;

// What every dialog of the process shares, set by the program: its main window, the owner of the
// message boxes, and whether dialogs are laid out in the design's units, which a dialog needs at
// WM_INITDIALOG, before anything else reaches it.
struct DIALOG_SHARED {
    HWND hMainWnd = nullptr;
    bool bDesignLayout = false;
};

DIALOG_SHARED& Shared()
{
    static DIALOG_SHARED shared;
    return shared;
}

} // namespace

HWND AfxGetMainWnd()
{
    return Shared().hMainWnd;
}

void AfxSetMainWnd(HWND wnd)
{
    Shared().hMainWnd = wnd;
}

LRESULT RunOnWindowThread(HWND window, const std::function<LRESULT()>& call)
{
    if (!window || !IsWindow(window))
        return 0;
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId())
        return call();
    DWORD_PTR result = 0;
    // Sent, so that the worker waits and everything call refers to stays valid meanwhile.
    if (!SendMessageTimeoutA(window, WM_RUN_ON_THREAD, 0, reinterpret_cast<LPARAM>(&call), SMTO_NORMAL, INFINITE,
                             &result))
        return 0;
    return static_cast<LRESULT>(result);
}

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
    // A dialog over a window holds worker ends back; the program's own main window does not.
    std::optional<CModalScope> modal;
    if (parent)
        modal.emplace();
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

void CDialog::Show(bool show) const
{
    if (m_hWnd)
        ::ShowWindow(m_hWnd, show ? SW_SHOW : SW_HIDE);
}

void CDialog::Enable(bool enable) const
{
    if (!m_hWnd)
        return;
    if (!enable)
        MoveFocusOutOf(m_hWnd);
    EnableWindow(m_hWnd, enable);
}

void CDialog::MoveWindow(int x, int y, int width, int height) const
{
    if (m_hWnd)
        ::MoveWindow(m_hWnd, x, y, width, height, TRUE);
}

void CDialog::UseDesignLayout(bool on)
{
    Shared().bDesignLayout = on;
}

void CDialog::FitToDesignUnits() const
{
    RECT unit{0, 0, 4, 8};
    if (!MapDialogRect(m_hWnd, &unit) || unit.right <= 0 || unit.bottom <= 0)
        return;
    const int baseX = unit.right;
    const int baseY = unit.bottom;
    if (baseX == kDesignBaseX && baseY == kDesignBaseY)
        return;
    const auto x = [&](LONG v) { return MulDiv(v, kDesignBaseX, baseX); };
    const auto y = [&](LONG v) { return MulDiv(v, kDesignBaseY, baseY); };
    for (HWND child = GetWindow(m_hWnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT box{};
        GetWindowRect(child, &box);
        MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&box), 2);
        SetWindowPos(child, nullptr, x(box.left), y(box.top), x(box.right) - x(box.left), y(box.bottom) - y(box.top),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RECT client{};
    GetClientRect(m_hWnd, &client);
    RECT frame{0, 0, x(client.right), y(client.bottom)};
    const LONG_PTR style = GetWindowLongPtrA(m_hWnd, GWL_STYLE);
    if (!(style & WS_CHILD))
        AdjustWindowRectEx(&frame, static_cast<DWORD>(style), FALSE, static_cast<DWORD>(GetWindowLongPtrA(m_hWnd, GWL_EXSTYLE)));
    RECT place{};
    GetWindowRect(m_hWnd, &place);
    // A centred window stays centred on the same point.
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int left = (style & WS_CHILD) ? 0 : (place.left + place.right - width) / 2;
    const int top = (style & WS_CHILD) ? 0 : (place.top + place.bottom - height) / 2;
    SetWindowPos(m_hWnd, nullptr, left, top, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE | ((style & WS_CHILD) ? SWP_NOMOVE : 0));
}

void CDialog::ShowItem(int id, bool show) const
{
    HWND item = GetDlgItem(id);
    if (!item)
        return;
    if (!show)
        MoveFocusOutOf(item);
    ::ShowWindow(item, show ? SW_SHOW : SW_HIDE);
}

void CDialog::EnableItem(int id, bool enable) const
{
    HWND item = GetDlgItem(id);
    if (!item)
        return;
    if (!enable)
        MoveFocusOutOf(item);
    EnableWindow(item, enable);
}

void CDialog::FocusItem(int id) const
{
    FocusControl(GetDlgItem(id));
}

bool CDialog::HoldsFocus() const
{
    return m_hWnd && FocusIsUsable() && IsChild(m_hWnd, GetFocus());
}

void CDialog::SetAccessibleText(const std::string& name, const std::string& description, long role)
{
    m_accessibleText.Set(name, description, role);
}

void CDialog::SetControlParent(bool on) const
{
    if (!m_bControlParent)
        return;
    const LONG_PTR exStyle = GetWindowLongPtrA(m_hWnd, GWL_EXSTYLE);
    SetWindowLongPtrA(m_hWnd, GWL_EXSTYLE, on ? (exStyle | WS_EX_CONTROLPARENT) : (exStyle & ~WS_EX_CONTROLPARENT));
}

void CDialog::TakeFocusIfLost() const
{
    if (!m_bControlParent || FocusIsUsable())
        return;
    const std::vector<HWND> stops = TabStops(m_hWnd);
    if (!stops.empty())
        FocusControl(stops.front());
}

void CDialog::SetItemText(int id, const std::string& text) const
{
    SetDlgItemTextA(m_hWnd, id, text.c_str());
}

std::string CDialog::GetItemText(int id) const
{
    HWND item = GetDlgItem(id);
    if (!item)
        return {};
    std::string text(static_cast<size_t>(GetWindowTextLengthA(item)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(item, text.data(), static_cast<int>(text.size()))));
    return text;
}

bool CDialog::IsItemChecked(int id) const
{
    return IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED;
}

void CDialog::CheckItem(int id, bool checked) const
{
    CheckDlgButton(m_hWnd, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void CDialog::SetMsgResult(LRESULT result) const
{
    SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
}

void CDialog::OnClose()
{
    if (m_bModal)
        EndDialog(IDCANCEL);
}

void CDialog::OnSize(UINT, int, int) {}

bool CDialog::OnScroll(bool, int, int, HWND)
{
    return false;
}

bool CDialog::OnMessage(UINT, WPARAM, LPARAM)
{
    return false;
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

void CDialog::OnWorkerEnd(CPageWorker&) {}

void CDialog::SetBackground(UINT bitmapId)
{
    m_background = LoadBitmapResource(bitmapId);
    m_backBrush.reset();
    m_backPattern.reset(m_background ? CreatePatternBrush(m_background.get()) : nullptr);
    BITMAP info{};
    if (!m_background || !GetObjectA(m_background.get(), sizeof info, &info))
        return;
    MemoryDC dc(CreateCompatibleDC(nullptr));
    if (!dc)
        return;
    SelectScope select(dc.get(), m_background.get());
    m_backBrush.reset(CreateSolidBrush(GetPixel(dc.get(), info.bmWidth - 1, info.bmHeight - 1)));
}

bool CDialog::OnEraseBkgnd(HDC dc)
{
    if (!m_background)
        return false;
    RECT client{};
    GetClientRect(m_hWnd, &client);
    BITMAP info{};
    GetObjectA(m_background.get(), sizeof info, &info);
    if (m_backBrush) {
        const RECT right{info.bmWidth, 0, client.right, client.bottom};
        const RECT below{0, info.bmHeight, info.bmWidth, client.bottom};
        FillRect(dc, &right, m_backBrush.get());
        FillRect(dc, &below, m_backBrush.get());
    }
    DrawBitmap(dc, m_background.get(), 0, 0);
    return true;
}

HBRUSH CDialog::OnCtlColor(HDC dc, HWND control, UINT message)
{
    if (!m_backBrush || (message != WM_CTLCOLORSTATIC && message != WM_CTLCOLORBTN))
        return nullptr;
    SetBkMode(dc, TRANSPARENT);
    char className[8] = {};
    if (m_backPattern && GetClassNameA(control, className, sizeof className) && lstrcmpiA(className, "Button") == 0) {
        // A check box with its caption stands on the picture: its back is the part of the picture
        // under it.
        RECT place{};
        GetWindowRect(control, &place);
        MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&place), 2);
        SetBrushOrgEx(dc, -place.left, -place.top, nullptr);
        return m_backPattern.get();
    }
    return m_backBrush.get();
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
    case WM_CLOSE:
        OnClose();
        return TRUE;
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    case WM_PAINT:
        return OnPaint();
    case WM_SIZE:
        OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
        return FALSE;
    case WM_HSCROLL:
    case WM_VSCROLL:
        return OnScroll(msg == WM_VSCROLL, LOWORD(wParam), static_cast<short>(HIWORD(wParam)),
                        reinterpret_cast<HWND>(lParam));
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(OnQueryDragIcon());
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
    case WM_GETOBJECT: {
        LRESULT result = 0;
        if (!m_accessibleText.OnGetObject(m_hWnd, wParam, lParam, result))
            return FALSE;
        SetMsgResult(result);
        return TRUE;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORDLG:
        return reinterpret_cast<INT_PTR>(OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), msg));
    default:
        if (msg < WM_USER)
            return FALSE;
        SetMsgResult(0);
        return OnMessage(msg, wParam, lParam);
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
        if (Shared().bDesignLayout)
            self->FitToDesignUnits();
        const LONG_PTR style = GetWindowLongPtrA(wnd, GWL_STYLE);
        self->m_bControlParent =
            (style & WS_CHILD) && (GetWindowLongPtrA(wnd, GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
        self->SetControlParent((style & WS_VISIBLE) != 0);
    }
    if (!self)
        return FALSE;
    INT_PTR result = FALSE;
    try {
        // Shown or hidden while the main window is not yet visible, a page hears only this.
        if (msg == WM_SHOWWINDOW && lParam == 0)
            self->SetControlParent(wParam != 0);
        // Once it can be seen, a page shown takes the focus that went with the page hidden.
        if (msg == WM_WINDOWPOSCHANGED && (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW))
            self->TakeFocusIfLost();
        if (msg == WM_RUN_ON_THREAD) {
            self->SetMsgResult((*reinterpret_cast<const std::function<LRESULT()>*>(lParam))());
            result = TRUE;
        } else if (msg == WM_PAGE_WORKER_ENDED) {
            CPageWorker::OnEndMessage(wParam, lParam);
            result = TRUE;
        } else {
            result = self->DialogProc(msg, wParam, lParam);
        }
    } catch (...) {
        ReportCaughtFault("dialog procedure");
        result = FALSE;
    }
    if (msg == WM_NCDESTROY) {
        RemovePropA(wnd, kDialogProp);
        self->m_hWnd = nullptr;
    }
    return result;
}
