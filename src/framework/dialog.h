#pragma once

#include <windows.h>

// The dialog base class of every window and page. Bound to its HWND at WM_INITDIALOG (the
// pointer travels in the creation parameter) and unbound at WM_NCDESTROY; messages go to the
// virtual handlers below. A dialog runs modally (DoModal) or as a modeless child page (Create).
class CDialog {
public:
    explicit CDialog(UINT templateId) : m_nTemplateId(templateId) {}
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog modally; the value given to EndDialog, or -1 when it could not be created.
    INT_PTR DoModal(HWND parent);
    // Creates the dialog modeless (a child page when its template has WS_CHILD); false on failure.
    bool Create(HWND parent);
    void EndDialog(INT_PTR result);

    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    void ShowWindow(int command) const;
    void MoveWindow(int x, int y, int width, int height) const;
    bool IsModal() const { return m_bModal; }

    static CDialog* FromHandle(HWND wnd);

protected:
    // Handlers. Those returning bool report whether they handled the message; the defaults do not.
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual bool OnCommand(int id, int code, HWND control);
    virtual bool OnNotify(NMHDR* header, LRESULT& result);
    virtual bool OnDrawItem(int id, DRAWITEMSTRUCT* item);
    virtual void OnTimer(UINT_PTR id);
    virtual void OnShowWindow(bool show, UINT status);
    virtual bool OnEraseBkgnd(HDC dc);
    // A brush for a control's colours (WM_CTLCOLOR*), or null for the default.
    virtual HBRUSH OnCtlColor(HDC dc, HWND control, UINT message);
    // IDOK / IDCANCEL: end a modal dialog; a modeless page ignores them.
    virtual void OnOK();
    virtual void OnCancel();
    // Every message; returns the dialog procedure's result. Overrides call the base for the rest.
    virtual INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK StaticProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

    UINT m_nTemplateId;
    bool m_bModal = false;
};
