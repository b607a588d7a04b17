#include "framework/window.h"

#include "framework/fault.h"
#include "framework/focus.h"

namespace {

constexpr const char* kObjectProp = "HivoraWindowObject";

} // namespace

CWindow::~CWindow()
{
    // A window created by the object itself must not outlive it; destroying it unbinds it.
    if (m_hWnd && !m_bSubclassed)
        DestroyWindow(m_hWnd);
    if (m_hWnd)
        Detach();
}

void CWindow::Show(bool show) const
{
    if (!m_hWnd)
        return;
    if (!show)
        MoveFocusOutOf(m_hWnd);
    ShowWindow(m_hWnd, show ? SW_SHOW : SW_HIDE);
}

void CWindow::Enable(bool enable) const
{
    if (!m_hWnd)
        return;
    if (!enable)
        MoveFocusOutOf(m_hWnd);
    EnableWindow(m_hWnd, enable);
}

CWindow* CWindow::FromHandle(HWND wnd)
{
    return wnd ? static_cast<CWindow*>(GetPropA(wnd, kObjectProp)) : nullptr;
}

bool CWindow::SubclassDlgItem(int id, HWND parent)
{
    return SubclassWindow(GetDlgItem(parent, id));
}

bool CWindow::SubclassWindow(HWND wnd)
{
    if (!wnd || m_hWnd || FromHandle(wnd))
        return false;
    if (!SetPropA(wnd, kObjectProp, this))
        return false;
    const auto previous =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc)));
    if (!previous) {
        RemovePropA(wnd, kObjectProp);
        return false;
    }
    m_bSubclassed = true;
    Attach(wnd, previous);
    OnAttached();
    return true;
}

void CWindow::Attach(HWND wnd, WNDPROC previous)
{
    m_hWnd = wnd;
    m_pfnSuper = previous;
}

void CWindow::Detach()
{
    if (m_bSubclassed && IsWindow(m_hWnd))
        SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    if (IsWindow(m_hWnd))
        RemovePropA(m_hWnd, kObjectProp);
    m_hWnd = nullptr;
    m_pfnSuper = nullptr;
    m_bSubclassed = false;
}

void CWindow::SetAccessibleText(const std::string& name, const std::string& description, long role)
{
    m_accessibleText.Set(name, description, role);
}

void CWindow::Invalidate(bool erase) const
{
    if (m_hWnd)
        InvalidateRect(m_hWnd, nullptr, erase);
}

bool CWindow::RegisterClass(const char* className, UINT classStyle, HCURSOR cursor)
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExA(GetModuleHandleA(nullptr), className, &wc))
        return true;
    wc.style = classStyle;
    wc.lpfnWndProc = ClassProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = cursor;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = className;
    return RegisterClassExA(&wc) != 0;
}

HWND CWindow::CreateEx(DWORD exStyle, const char* className, const char* title, DWORD style, const RECT& rect,
                       HWND parent, UINT id)
{
    if (m_hWnd)
        return nullptr;
    return CreateWindowExA(exStyle, className, title, style, rect.left, rect.top, rect.right - rect.left,
                           rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                           GetModuleHandleA(nullptr), this);
}

LRESULT CWindow::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return Default(msg, wParam, lParam);
}

LRESULT CWindow::Default(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper)
        return CallWindowProcA(m_pfnSuper, m_hWnd, msg, wParam, lParam);
    return DefWindowProcA(m_hWnd, msg, wParam, lParam);
}

LRESULT CWindow::Dispatch(CWindow* self, UINT msg, WPARAM wParam, LPARAM lParam)
{
    const HWND wnd = self->m_hWnd;
    const WNDPROC super = self->m_pfnSuper;
    LRESULT result = 0;
    try {
        if (msg != WM_GETOBJECT || !self->m_accessibleText.OnGetObject(wnd, wParam, lParam, result))
            result = self->WindowProc(msg, wParam, lParam);
    } catch (...) {
        ReportCaughtFault("window procedure");
        result = super ? CallWindowProcA(super, wnd, msg, wParam, lParam) : DefWindowProcA(wnd, msg, wParam, lParam);
    }
    if (msg == WM_NCDESTROY && FromHandle(wnd) == self)
        self->Detach();
    return result;
}

LRESULT CALLBACK CWindow::SubclassProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CWindow* self = FromHandle(wnd);
    if (!self)
        return DefWindowProcA(wnd, msg, wParam, lParam);
    return Dispatch(self, msg, wParam, lParam);
}

LRESULT CALLBACK CWindow::ClassProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<CWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        if (self && SetPropA(wnd, kObjectProp, self)) {
            self->Attach(wnd, nullptr);
            self->OnAttached();
        }
    }
    CWindow* self = FromHandle(wnd);
    if (!self)
        return DefWindowProcA(wnd, msg, wParam, lParam);
    return Dispatch(self, msg, wParam, lParam);
}
