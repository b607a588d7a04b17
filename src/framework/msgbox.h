#pragma once

#include <windows.h>

#include <string>

// A message box with the program's name as caption, owned by the active window of this thread; asked
// from another thread, it is shown by the main window's thread and owned by it.
int AfxMessageBox(const std::string& text, UINT type = MB_OK);

// A message box with a caption of its own. Once the program has begun to close, no box is shown
// and the answer is IDCANCEL.
int MessageBoxWithCaption(HWND owner, const std::string& text, const std::string& caption, UINT type);
