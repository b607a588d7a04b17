// The dialog base class and window binding: handlers, results, lifetime and the exception wall; the
// page worker's states.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "../controls/gallery_ids.h"
#include "framework/dialog.h"
#include "framework/fault.h"
#include "framework/handles.h"
#include "framework/msgbox.h"
#include "framework/page_worker.h"
#include "framework/thread.h"
#include "framework/window.h"

namespace {

std::string g_strFaults;

void RecordFault(const char* where, const char* what)
{
    g_strFaults += std::string(where) + ": " + what + "\n";
}

class CProbeDlg : public CDialog {
public:
    CProbeDlg() : CDialog(IDD_TEST_HOST) {}

    bool m_bInitSawWindow = false;
    int m_nCommands = 0;
    int m_nLastCommand = 0;
    bool m_bShown = false;
    bool m_bEndOnTimer = false;

protected:
    BOOL OnInitDialog() override
    {
        m_bInitSawWindow = m_hWnd != nullptr && GetDlgItem(IDC_HOST_BUTTON) != nullptr;
        if (m_bEndOnTimer)
            SetTimer(m_hWnd, 7, 10, nullptr);
        return TRUE;
    }
    bool OnCommand(int id, int code, HWND control) override
    {
        ++m_nCommands;
        m_nLastCommand = id;
        if (id == IDC_HOST_STATIC)
            throw std::runtime_error("handler failure");
        return CDialog::OnCommand(id, code, control);
    }
    bool OnNotify(NMHDR* header, LRESULT& result) override
    {
        result = static_cast<LRESULT>(header->code) + 1;
        return true;
    }
    void OnTimer(UINT_PTR id) override
    {
        if (id == 7) {
            KillTimer(m_hWnd, 7);
            EndDialog(42);
        }
    }
    void OnShowWindow(bool show, UINT) override { m_bShown = show; }
    bool OnEraseBkgnd(HDC) override { return true; }
};

TEST(Dialog, RunsModallyUntilEnded)
{
    CProbeDlg dialog;
    dialog.m_bEndOnTimer = true;
    EXPECT_EQ(dialog.DoModal(nullptr), 42);
    EXPECT_TRUE(dialog.m_bInitSawWindow);
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
    EXPECT_FALSE(dialog.IsModal());
}

TEST(Dialog, ModelessDialogDispatchesToItsHandlers)
{
    CProbeDlg dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    HWND wnd = dialog.GetSafeHwnd();
    ASSERT_NE(wnd, nullptr);
    EXPECT_EQ(CDialog::FromHandle(wnd), &dialog);
    EXPECT_TRUE(dialog.m_bInitSawWindow);
    EXPECT_FALSE(dialog.Create(nullptr)) << "one window per object";

    SendMessageA(wnd, WM_COMMAND, MAKEWPARAM(IDC_HOST_BUTTON, BN_CLICKED), 0);
    EXPECT_EQ(dialog.m_nLastCommand, IDC_HOST_BUTTON);

    NMHDR header{wnd, 5, 41};
    EXPECT_EQ(SendMessageA(wnd, WM_NOTIFY, 5, reinterpret_cast<LPARAM>(&header)), 42);

    HDC dc = GetDC(wnd);
    EXPECT_EQ(SendMessageA(wnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), TRUE);
    ReleaseDC(wnd, dc);

    dialog.Show(false);
    EXPECT_FALSE(dialog.m_bShown);
    dialog.Show(true);
    EXPECT_TRUE(dialog.m_bShown);

    // A modeless page ignores Enter and Escape.
    SendMessageA(wnd, WM_COMMAND, IDOK, 0);
    SendMessageA(wnd, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(IsWindow(wnd));
}

TEST(Dialog, ExceptionsStopAtTheWindowProcedure)
{
    CProbeDlg dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    const int before = dialog.m_nCommands;
    g_strFaults.clear();
    SetFaultReporter(RecordFault);
    SendMessageA(dialog.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_HOST_STATIC, 0), 0);
    SetFaultReporter(nullptr);
    EXPECT_EQ(dialog.m_nCommands, before + 1);
    EXPECT_TRUE(IsWindow(dialog.GetSafeHwnd()));
    EXPECT_EQ(g_strFaults, "dialog procedure: handler failure\n");
}

struct WORKER_ROAD {
    HWND window;
    LRESULT answer = 0;
    DWORD runThread = 0;
};

UINT WorkerRoad(void* param)
{
    auto* road = static_cast<WORKER_ROAD*>(param);
    road->answer = RunOnWindowThread(road->window, [road] {
        road->runThread = GetCurrentThreadId();
        return static_cast<LRESULT>(77);
    });
    // A message box the worker raises is shown by the window's thread; the test closes it.
    AfxMessageBox("from the worker");
    throw std::runtime_error("worker failure");
}

BOOL CALLBACK CloseWorkerBox(HWND wnd, LPARAM)
{
    char caption[32] = {};
    GetWindowTextA(wnd, caption, sizeof caption);
    if (IsWindowVisible(wnd) && std::string(caption) == "Hivora")
        PostMessageA(wnd, WM_COMMAND, IDOK, 0);
    return TRUE;
}

void CALLBACK CloseWorkerBoxes(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), CloseWorkerBox, 0);
}

TEST(Dialog, WorkerReachesTheWindowThreadWhileItWaitsDispatching)
{
    CProbeDlg dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    AfxSetMainWnd(dialog.GetSafeHwnd());
    g_strFaults.clear();
    SetFaultReporter(RecordFault);
    WORKER_ROAD road{dialog.GetSafeHwnd()};
    const auto worker = AfxBeginThread(WorkerRoad, &road);
    ASSERT_NE(worker, nullptr);
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, CloseWorkerBoxes);
    EXPECT_TRUE(worker->WaitDispatching(30000));
    KillTimer(nullptr, timer);
    SetFaultReporter(nullptr);
    AfxSetMainWnd(nullptr);
    EXPECT_EQ(road.answer, 77);
    EXPECT_EQ(road.runThread, GetCurrentThreadId());
    EXPECT_EQ(g_strFaults, "worker thread: worker failure\n");
}

// Checks, without dispatching, until done holds; false after timeout milliseconds.
bool WaitUntil(const std::function<bool()>& done, DWORD timeout = 30000)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeout)
            return false;
        Sleep(10);
    }
    return true;
}

// Dispatches this thread's messages until done holds; false after timeout milliseconds.
bool PumpUntil(const std::function<bool()>& done, DWORD timeout = 30000)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeout)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return true;
}

class CWorkerPageDlg : public CDialog {
public:
    CWorkerPageDlg() : CDialog(IDD_TEST_HOST), m_worker(*this, true) {}

    CPageWorker m_worker;
    int m_nEnds = 0;
    bool m_bBusyAtEnd = true;

protected:
    void OnWorkerEnd(CPageWorker& worker) override
    {
        ++m_nEnds;
        m_bBusyAtEnd = worker.IsBusy() || CPageWorker::AnyExclusiveBusy();
    }
};

bool EndMessageQueued(HWND page)
{
    MSG msg;
    return PeekMessageA(&msg, page, WM_PAGE_WORKER_ENDED, WM_PAGE_WORKER_ENDED, PM_NOREMOVE) != FALSE;
}

UINT ThrowsAnything(void* param)
{
    WaitForSingleObject(static_cast<HANDLE>(param), INFINITE);
    throw 42;
}

UINT EndsAtOnce(void*)
{
    return 0;
}

TEST(PageWorker, EndIsReportedWhateverTheWorkerThrows)
{
    CWorkerPageDlg page;
    ASSERT_TRUE(page.Create(nullptr));
    g_strFaults.clear();
    SetFaultReporter(RecordFault);
    const KernelHandle go(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(page.m_worker.Start(ThrowsAnything, go.get()));
    EXPECT_TRUE(page.m_worker.IsBusy());
    EXPECT_TRUE(CPageWorker::AnyExclusiveBusy());
    EXPECT_FALSE(page.m_worker.Start(EndsAtOnce, nullptr)) << "one run at a time";
    SetEvent(go.get());
    EXPECT_TRUE(PumpUntil([&] { return page.m_nEnds == 1; }));
    SetFaultReporter(nullptr);
    EXPECT_FALSE(page.m_bBusyAtEnd);
    EXPECT_EQ(g_strFaults, "worker thread: unknown exception\n");

    // Idle again: it starts anew.
    ASSERT_TRUE(page.m_worker.Start(EndsAtOnce, nullptr));
    EXPECT_TRUE(PumpUntil([&] { return page.m_nEnds == 2; }));
}

TEST(PageWorker, EndWaitsWhileABoxIsOpen)
{
    CWorkerPageDlg page;
    ASSERT_TRUE(page.Create(nullptr));
    const auto thread = AfxBeginThread(EndsAtOnce, nullptr);
    ASSERT_NE(thread, nullptr);
    {
        const CModalScope box;
        ASSERT_TRUE(page.m_worker.Watch(*thread));
        ASSERT_TRUE(thread->Wait(30000));
        // The end reaches the page, which holds it back while the box is up.
        EXPECT_TRUE(WaitUntil([&] { return EndMessageQueued(page.GetSafeHwnd()); }));
        EXPECT_TRUE(PumpUntil([&] { return !EndMessageQueued(page.GetSafeHwnd()); }));
        EXPECT_EQ(page.m_nEnds, 0);
        EXPECT_TRUE(page.m_worker.IsBusy());
    }
    EXPECT_TRUE(PumpUntil([&] { return page.m_nEnds == 1; }));
    EXPECT_FALSE(page.m_worker.IsBusy());
}

TEST(Dialog, DestroyedWindowForgetsItsObject)
{
    auto dialog = std::make_unique<CProbeDlg>();
    ASSERT_TRUE(dialog->Create(nullptr));
    HWND wnd = dialog->GetSafeHwnd();
    DestroyWindow(wnd);
    EXPECT_EQ(dialog->GetSafeHwnd(), nullptr);
    EXPECT_EQ(CDialog::FromHandle(wnd), nullptr);
    dialog.reset();  // nothing left to destroy

    auto again = std::make_unique<CProbeDlg>();
    ASSERT_TRUE(again->Create(nullptr));
    wnd = again->GetSafeHwnd();
    again.reset();  // the object takes its window with it
    EXPECT_FALSE(IsWindow(wnd));
}

class CCountingWnd : public CWindow {
public:
    int m_nMessages = 0;
    bool m_bThrow = false;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_USER + 5) {
            ++m_nMessages;
            if (m_bThrow)
                throw std::runtime_error("control failure");
            return 99;
        }
        return Default(msg, wParam, lParam);
    }
};

TEST(Window, SubclassedControlIsBoundUntilDestroyed)
{
    CProbeDlg dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    CCountingWnd control;
    ASSERT_TRUE(control.SubclassDlgItem(IDC_HOST_BUTTON, dialog.GetSafeHwnd()));
    EXPECT_FALSE(control.SubclassDlgItem(IDC_HOST_STATIC, dialog.GetSafeHwnd())) << "bound already";
    CCountingWnd other;
    EXPECT_FALSE(other.SubclassDlgItem(IDC_HOST_BUTTON, dialog.GetSafeHwnd())) << "taken already";
    EXPECT_FALSE(other.SubclassDlgItem(12345, dialog.GetSafeHwnd()));

    HWND wnd = control.GetSafeHwnd();
    EXPECT_EQ(CWindow::FromHandle(wnd), &control);
    EXPECT_EQ(SendMessageA(wnd, WM_USER + 5, 0, 0), 99);
    control.m_bThrow = true;
    EXPECT_EQ(SendMessageA(wnd, WM_USER + 5, 0, 0), 0);  // the button's own answer
    EXPECT_EQ(control.m_nMessages, 2);
    char text[16] = {};
    EXPECT_EQ(SendMessageA(wnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text)), 0);

    DestroyWindow(wnd);
    EXPECT_EQ(control.GetSafeHwnd(), nullptr);
}

TEST(Window, ObjectGoingFirstGivesTheControlBack)
{
    CProbeDlg dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    HWND button = dialog.GetDlgItem(IDC_HOST_BUTTON);
    {
        CCountingWnd control;
        ASSERT_TRUE(control.SubclassWindow(button));
    }
    EXPECT_EQ(CWindow::FromHandle(button), nullptr);
    EXPECT_TRUE(IsWindow(button));
    EXPECT_EQ(SendMessageA(button, WM_USER + 5, 0, 0), 0);
}

} // namespace
