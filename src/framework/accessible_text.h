#pragma once

#include <windows.h>
#include <oleacc.h>

#include <string>

// What a screen reader hears of a window whose meaning is drawn in a picture: a page's heading and
// instructions, the words printed beside a button, the column heading above a number. The window
// answers the reader's request for its object (WM_GETOBJECT) with the system's own object for it,
// this name, description and role taking the place of the system's where they are given; everything
// else (state, place, children) stays the system's.
class CAccessibleText {
public:
    // Empty texts and a role of 0 leave the system's.
    void Set(std::string name, std::string description, long role = 0);

    // Answers WM_GETOBJECT for wnd. True with the message's result when it answered; false when the
    // window's own processing answers (nothing set, or another object than the client asked for).
    bool OnGetObject(HWND wnd, WPARAM wParam, LPARAM lParam, LRESULT& result) const;

private:
    std::string m_strName;
    std::string m_strDescription;
    long m_nRole = 0;
};
