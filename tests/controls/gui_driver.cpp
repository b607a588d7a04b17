#include "gui_driver.h"

#include <vector>

namespace gui {

HWND WaitForWindow(const std::string& title, DWORD timeout, const char* className)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND wnd = FindWindowA(className, title.c_str()); wnd && IsWindowVisible(wnd))
            return wnd;
        if (GetTickCount() - start > timeout)
            return nullptr;
        Sleep(50);
    }
}

std::string Text(HWND wnd)
{
    std::vector<char> buffer(65536);
    const LRESULT length = SendMessageA(wnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    return std::string(buffer.data(), static_cast<size_t>(length > 0 ? length : 0));
}

bool ClickButton(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    return button && PostMessageA(button, BM_CLICK, 0, 0);
}

void ClickAt(HWND wnd, int x, int y)
{
    const LPARAM point = MAKELPARAM(x, y);
    SendMessageA(wnd, WM_MOUSEMOVE, 0, point);
    SendMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageA(wnd, WM_LBUTTONUP, 0, point);
}

void MoveTo(HWND wnd, int x, int y)
{
    // The pointer goes there too, so that the system's own mouse messages agree with ours.
    POINT screen{x, y};
    ClientToScreen(wnd, &screen);
    SetCursorPos(screen.x, screen.y);
    SendMessageA(wnd, WM_MOUSEMOVE, 0, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
}

void KeyPress(HWND wnd, UINT key)
{
    SendMessageA(wnd, WM_KEYDOWN, key, 1);
    SendMessageA(wnd, WM_KEYUP, key, 0xC0000001);
}

void Wheel(HWND wnd, int delta)
{
    RECT box{};
    GetWindowRect(wnd, &box);
    SendMessageA(wnd, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(delta))),
                 MAKELPARAM((box.left + box.right) / 2, (box.top + box.bottom) / 2));
}

namespace {

struct MessageBoxSearch {
    std::string caption;
    HWND found = nullptr;
};

BOOL CALLBACK FindMessageBox(HWND wnd, LPARAM param)
{
    auto* search = reinterpret_cast<MessageBoxSearch*>(param);
    char className[64] = {};
    GetClassNameA(wnd, className, sizeof className);
    if (lstrcmpA(className, "#32770") == 0 && IsWindowVisible(wnd) && Text(wnd) == search->caption) {
        search->found = wnd;
        return FALSE;
    }
    return TRUE;
}

// The message text is the box's static control that holds the most text.
std::string MessageText(HWND box)
{
    std::string best;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[64] = {};
        GetClassNameA(child, className, sizeof className);
        if (lstrcmpiA(className, "Static") == 0) {
            const std::string text = Text(child);
            if (text.size() > best.size())
                best = text;
        }
    }
    return best;
}

} // namespace

bool AnswerMessageBox(const std::string& caption, int buttonId, std::string* text, DWORD timeout)
{
    const DWORD start = GetTickCount();
    MessageBoxSearch search{caption};
    while (!search.found) {
        EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            break;
        if (GetTickCount() - start > timeout)
            return false;
        Sleep(50);
    }
    if (text)
        *text = MessageText(search.found);
    return ClickButton(search.found, buttonId);
}

} // namespace gui
