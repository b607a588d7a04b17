#pragma once

#include <windows.h>

#include <vector>

// Keyboard focus across the pages of one top-level dialog. The dialog manager walks the tab stops
// by their own styles only, so a control that is hidden or disabled through its page, or that has
// the focus while it goes away, leaves the keyboard user stranded; these keep the focus on a
// control that can be seen and used.

// The tab stops under container in tab order: visible, enabled controls with WS_TABSTOP, entering
// visible, enabled control parents (pages).
std::vector<HWND> TabStops(HWND container);

// True when the focus lies on a visible, enabled control of this thread.
bool FocusIsUsable();

// Moves the focus to control through its top-level dialog, so that the dialog manager keeps its
// default-button and focus-mark state (WM_NEXTDLGCTL). False when control cannot take it.
bool FocusControl(HWND control);

// Before wnd is hidden or disabled: when the focus lies on wnd or inside it, moves it to the next
// tab stop of the top-level dialog outside wnd (or nowhere, when there is none).
void MoveFocusOutOf(HWND wnd);
