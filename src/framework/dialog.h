#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "framework/accessible_text.h"
#include "framework/gdi.h"

class CPageWorker;

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
    // Shows or hides, enables or disables the dialog; nothing happens before it exists.
    void Show(bool show) const;
    void Enable(bool enable) const;
    void MoveWindow(int x, int y, int width, int height) const;
    bool IsModal() const { return m_bModal; }

    static CDialog* FromHandle(HWND wnd);

    // Program-wide: lay every dialog out in the pixels its templates were drawn for (dialog base
    // units of 6 by 13 pixels), whatever the system's dialog font measures, so that controls stay
    // on the background pictures. Off by default.
    static void UseDesignLayout(bool on);

    // Conveniences for the dialog's own controls; missing controls are skipped.
    void ShowItem(int id, bool show) const;
    void EnableItem(int id, bool enable) const;
    void SetItemText(int id, const std::string& text) const;
    std::string GetItemText(int id) const;
    bool IsItemChecked(int id) const;
    void CheckItem(int id, bool checked) const;
    // Gives the keyboard focus to the control (when it is visible and enabled).
    void FocusItem(int id) const;
    // True when a visible, enabled control of this dialog has the focus.
    bool HoldsFocus() const;
    // The name and description screen readers give the dialog: a page's heading and instructions,
    // which its background picture shows (framework/accessible_text.h).
    void SetAccessibleText(const std::string& name, const std::string& description, long role = 0);

protected:
    // Handlers. Those returning bool report whether they handled the message; the defaults do not.
    virtual BOOL OnInitDialog() { return TRUE; }
    // The close box (WM_CLOSE), told apart from Escape: ends a modal dialog; a page ignores it.
    virtual void OnClose();
    virtual void OnDestroy() {}
    // True when the handler painted the window (with a PaintDC).
    virtual bool OnPaint() { return false; }
    virtual void OnSize(UINT type, int width, int height);
    // WM_HSCROLL / WM_VSCROLL; true when handled.
    virtual bool OnScroll(bool vertical, int code, int position, HWND bar);
    // The cursor shown while the minimised window is dragged (WM_QUERYDRAGICON).
    virtual HCURSOR OnQueryDragIcon() { return nullptr; }
    // Private messages (WM_USER and above, the scan messages among them); true when handled, with
    // the message's result given through SetMsgResult.
    virtual bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual bool OnCommand(int id, int code, HWND control);
    virtual bool OnNotify(NMHDR* header, LRESULT& result);
    virtual bool OnDrawItem(int id, DRAWITEMSTRUCT* item);
    virtual void OnTimer(UINT_PTR id);
    virtual void OnShowWindow(bool show, UINT status);
    // A worker of this page has ended (framework/page_worker.h); no worker waits for this handler.
    virtual void OnWorkerEnd(CPageWorker& worker);
    // True when the background was painted; the default paints the background picture, if any.
    virtual bool OnEraseBkgnd(HDC dc);
    // A brush for a control's colours (WM_CTLCOLOR*), or null for the default; with a background
    // picture, plain texts are drawn on its colour and check boxes on the picture itself.
    virtual HBRUSH OnCtlColor(HDC dc, HWND control, UINT message);
    // IDOK / IDCANCEL: end a modal dialog; a modeless page ignores them.
    virtual void OnOK();
    virtual void OnCancel();
    // Every message; returns the dialog procedure's result. Overrides call the base for the rest.
    virtual INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam);

    // The picture painted as the dialog's background at its top left corner. The rest of the
    // dialog, and the backs of its plain texts and check boxes, take the colour of the picture's
    // bottom right corner.
    void SetBackground(UINT bitmapId);

    // The result of the message being handled, as SendMessage returns it.
    void SetMsgResult(LRESULT result) const;

    HWND m_hWnd = nullptr;

private:
    friend class CPageWorker;

    void FitToDesignUnits() const;
    // A child page hidden is no control parent, so that the dialog manager never walks into its
    // controls (their own styles still say visible).
    void SetControlParent(bool on) const;
    // A page shown takes the focus when no visible, enabled control holds it.
    void TakeFocusIfLost() const;
    static INT_PTR CALLBACK StaticProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

    UINT m_nTemplateId;
    bool m_bModal = false;
    bool m_bControlParent = false;
    GdiBitmap m_background;
    GdiBrush m_backBrush;
    GdiBrush m_backPattern;
    CAccessibleText m_accessibleText;
};

// Runs call on the thread that owns window (a dialog), waiting for it: the one way for a worker to
// hand a text or a request to the user-interface thread. Runs it directly on that thread; returns
// 0 without running it when the window is gone.
LRESULT RunOnWindowThread(HWND window, const std::function<LRESULT()>& call);

// The program's main window: owner of message boxes that workers raise.
HWND AfxGetMainWnd();
void AfxSetMainWnd(HWND wnd);
