#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "scan/scanner.h"

// A message-only window that keeps the texts of the WM_SCAN_PATH messages an engine sends it.
// The checks run on the test's thread, so SendMessageA reaches it directly. The engine passes on at
// most one path every 101 ms; the recorder waits that long when it is made, so that the first path
// of the check that follows comes through.
class PathRecorder {
public:
    PathRecorder()
    {
        static const ATOM atom = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = Proc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "HvTestPathRecorder";
            return RegisterClassA(&wc);
        }();
        m_hWnd = CreateWindowExA(0, MAKEINTATOM(atom), "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&m_paths));
        Sleep(120);
    }
    ~PathRecorder() { DestroyWindow(m_hWnd); }
    PathRecorder(const PathRecorder&) = delete;
    PathRecorder& operator=(const PathRecorder&) = delete;

    HWND Window() const { return m_hWnd; }
    const std::vector<std::string>& Paths() const { return m_paths; }
    std::string First() const { return m_paths.empty() ? std::string() : m_paths.front(); }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_SCAN_PATH) {
            auto* paths = reinterpret_cast<std::vector<std::string>*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
            if (paths)
                paths->emplace_back(reinterpret_cast<const char*>(lParam));
            return 0;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }

    HWND m_hWnd = nullptr;
    std::vector<std::string> m_paths;
};
