#pragma once

#include <windows.h>

#include <string>

// Saves what the screen shows of a window (with whatever stands over it) as name.png in the
// screenshot folder of the build; false when it could not be saved.
bool SaveScreenshot(HWND wnd, const std::string& name);
