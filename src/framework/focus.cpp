#include "framework/focus.h"

namespace {

bool Usable(HWND wnd)
{
    return IsWindowVisible(wnd) && IsWindowEnabled(wnd);
}

void CollectTabStops(HWND container, std::vector<HWND>& stops)
{
    for (HWND child = GetWindow(container, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!Usable(child))
            continue;
        if (GetWindowLongPtrA(child, GWL_EXSTYLE) & WS_EX_CONTROLPARENT)
            CollectTabStops(child, stops);
        else if (GetWindowLongPtrA(child, GWL_STYLE) & WS_TABSTOP)
            stops.push_back(child);
    }
}

bool Inside(HWND wnd, HWND container)
{
    return wnd == container || IsChild(container, wnd);
}

} // namespace

std::vector<HWND> TabStops(HWND container)
{
    std::vector<HWND> stops;
    CollectTabStops(container, stops);
    return stops;
}

bool FocusIsUsable()
{
    HWND focus = GetFocus();
    return focus && Usable(focus);
}

bool FocusControl(HWND control)
{
    if (!control || !Usable(control))
        return false;
    HWND top = GetAncestor(control, GA_ROOT);
    if (!top || top == control)
        return false;
    SendMessageA(top, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    return GetFocus() == control;
}

void MoveFocusOutOf(HWND wnd)
{
    HWND focus = GetFocus();
    if (!wnd || !focus || !Inside(focus, wnd))
        return;
    HWND top = GetAncestor(wnd, GA_ROOT);
    if (!top || top == wnd)
        return;
    const std::vector<HWND> stops = TabStops(top);
    // From the focused control onwards, wrapping around: the control a Tab would reach.
    size_t start = 0;
    for (size_t i = 0; i < stops.size(); ++i) {
        if (stops[i] == focus)
            start = i + 1;
    }
    for (size_t n = 0; n < stops.size(); ++n) {
        HWND candidate = stops[(start + n) % stops.size()];
        if (!Inside(candidate, wnd)) {
            FocusControl(candidate);
            return;
        }
    }
}
