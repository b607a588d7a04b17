#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Drives the windows of another process the way a person would: finds windows and controls,
// clicks, ticks, types keys and wheel turns, reads texts and list rows, answers message boxes, and
// saves screenshots.
namespace gui {

// Waits until condition holds, checking every 50 ms; false when timeout milliseconds passed first.
bool WaitFor(const std::function<bool()>& condition, DWORD timeout = 10000);

// A visible top-level window of process pid that match accepts, or null.
HWND FindProcessWindow(DWORD pid, const std::function<bool(HWND)>& match);

// The visible top-level window with this title (and class, when given), waiting up to timeout.
HWND WaitForWindow(const std::string& title, DWORD timeout = 10000, const char* className = nullptr);
// The visible window with this control ID: top's own, else anywhere under top (IDs repeat from page
// to page), waiting up to timeout; null when none shows up.
HWND FindControl(HWND top, int id, DWORD timeout = 10000);
// The text of a window (WM_GETTEXT, so it works across processes).
std::string Text(HWND wnd);
// Waits until FindControl(top, id) shows exactly text.
bool WaitForText(HWND top, int id, const std::string& text, DWORD timeout = 10000);

// Clicks a visible button by its ID without waiting for what the click starts (a message box, say).
bool Click(HWND top, int id);
// Clicks a button of a dialog (top-level: message boxes) by its ID.
bool ClickButton(HWND dialog, int id);
bool IsChecked(HWND top, int id);
// Clicks the check box when its state differs; true when it then shows checked.
bool SetChecked(HWND top, int id, bool checked);
bool IsEnabled(HWND top, int id);

// Left click at client coordinates of a window, handled before returning.
void ClickAt(HWND wnd, int x, int y);
// A quick second click as the system reports it: down, up, double click, up.
void DoubleClickAt(HWND wnd, int x, int y);
// Mouse movement to client coordinates (may lie outside the window for a captured mouse).
void MoveTo(HWND wnd, int x, int y);
void KeyPress(HWND wnd, UINT key);
// One wheel notch per 120; negative turns towards the user.
void Wheel(HWND wnd, int delta);

// The keyboard as a person uses it: real key strokes (SendInput) to the foreground window.
// Brings top to the foreground; false when it did not get there.
bool Activate(HWND top);
// One stroke of key, with Shift and/or Alt held when asked (modifiers: MOD_SHIFT, MOD_ALT).
void Type(UINT key, UINT modifiers = 0);
// The window with the keyboard focus in the thread of top (another process's), or null.
HWND Focus(HWND top);
// Waits until the focus in top's thread is the visible control id (top's own first, as FindControl).
bool WaitForFocus(HWND top, int id, DWORD timeout = 10000);

// List views of another process.
int ListCount(HWND list);
std::string ListText(HWND list, int row, int column);
bool ListChecked(HWND list, int row);
bool ListSetChecked(HWND list, int row, bool checked);
bool ListSelect(HWND list, int row, bool selected);

// The lines of a list box of another process.
std::vector<std::string> ListBoxLines(HWND list);

// Waits for a message box with this caption, returns its text, presses the button with the ID and
// waits for the box to close.
bool AnswerMessageBox(const std::string& caption, int buttonId, std::string* text = nullptr, DWORD timeout = 10000);
// The text of the visible message box with this caption, or empty when there is none now.
std::string MessageBoxText(const std::string& caption);

// The folder the screenshots of the test run go to: build/<preset>/screenshots.
std::string ScreenshotFolder();
// Saves the whole screen (or only the window given) as ScreenshotFolder()\name.png once painting
// has settled; the path, or empty on failure.
std::string SaveScreenshot(const std::string& name, HWND window = nullptr);

} // namespace gui
