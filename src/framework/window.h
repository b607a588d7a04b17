#pragma once

#include <windows.h>

#include <string>

#include "framework/accessible_text.h"

// Messages a parent sends back to the control they concern (owner drawing).
constexpr UINT WM_REFLECT_BASE = WM_USER + 0x1C00;
constexpr UINT WM_REFLECT_DRAWITEM = WM_REFLECT_BASE + WM_DRAWITEM;

// A window object bound to one HWND: either a control of a dialog taken over by subclassing, or a
// window it creates with its own registered class. Messages go to the virtual WindowProc; the
// binding is removed when the window is destroyed or the object goes, whichever comes first.
class CWindow {
public:
    CWindow() = default;
    virtual ~CWindow();
    CWindow(const CWindow&) = delete;
    CWindow& operator=(const CWindow&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }

    // Takes over the dialog control id of parent; false when there is none or it is bound already.
    bool SubclassDlgItem(int id, HWND parent);
    bool SubclassWindow(HWND wnd);

    // The object bound to wnd, or null.
    static CWindow* FromHandle(HWND wnd);

    void Invalidate(bool erase = true) const;
    // Shows or hides, enables or disables the window; nothing happens before it is bound.
    void Show(bool show) const;
    void Enable(bool enable) const;
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    // The name and description screen readers give the window where its own text does not say
    // what it means (framework/accessible_text.h); empty texts leave the system's.
    void SetAccessibleText(const std::string& name, const std::string& description, long role = 0);

protected:
    // Registers (once) a window class whose windows are bound to the object passed at creation.
    static bool RegisterClass(const char* className, UINT classStyle, HCURSOR cursor);
    HWND CreateEx(DWORD exStyle, const char* className, const char* title, DWORD style, const RECT& rect,
                  HWND parent, UINT id);

    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // Called once the object is bound to its window (after subclassing, or at WM_NCCREATE).
    virtual void OnAttached() {}
    // The message's processing before the object took the window over.
    LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;

private:
    void Attach(HWND wnd, WNDPROC previous);
    void Detach();
    static LRESULT CALLBACK SubclassProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ClassProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT Dispatch(CWindow* self, UINT msg, WPARAM wParam, LPARAM lParam);

    WNDPROC m_pfnSuper = nullptr;  // null: DefWindowProc
    CAccessibleText m_accessibleText;
    bool m_bSubclassed = false;
};
