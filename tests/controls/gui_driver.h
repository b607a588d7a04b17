#pragma once

#include <windows.h>

#include <string>

// Drives the windows of another process the way a person would: finds windows, clicks controls,
// sends keys and wheel turns, reads texts and answers message boxes.
namespace gui {

// The top-level window with this title, waiting up to timeout milliseconds; null when none.
HWND WaitForWindow(const std::string& title, DWORD timeout = 10000, const char* className = nullptr);
// The text of a window (WM_GETTEXT, so it works across processes).
std::string Text(HWND wnd);
// Clicks a button by its ID without waiting for what the click starts (a message box, say).
bool ClickButton(HWND dialog, int id);
// Left click at client coordinates of a window, handled before returning.
void ClickAt(HWND wnd, int x, int y);
// Mouse movement to client coordinates (may lie outside the window for a captured mouse).
void MoveTo(HWND wnd, int x, int y);
void KeyPress(HWND wnd, UINT key);
// One wheel notch per 120; negative turns towards the user.
void Wheel(HWND wnd, int delta);
// Waits for a message box with this caption, returns its text and presses the button with the ID.
bool AnswerMessageBox(const std::string& caption, int buttonId, std::string* text = nullptr, DWORD timeout = 10000);

} // namespace gui
