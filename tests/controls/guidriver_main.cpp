// guidriver: drives another program's windows from the command line (for scripts and screenshots).
//   guidriver wait TITLE                    waits (up to two minutes: a program's first window on a
//                                           fresh display can take long) until the window is shown
// Controls are addressed by ID: the visible window with that ID anywhere under the top-level window,
// or by PAGE-ID/ID: the one on the page that shows the control PAGE-ID.
//   guidriver click TITLE ID                clicks a button
//   guidriver clickat TITLE ID X Y          left click at client coordinates of a control
//   guidriver move TITLE ID X Y             moves the mouse over a control
//   guidriver key TITLE ID VK               presses a key (virtual-key code) in a control
//   guidriver wheel TITLE ID DELTA          turns the wheel over a control
//   guidriver text TITLE ID                 prints a control's text (ID 0: the window's own)
//   guidriver answer CAPTION BUTTON-ID      prints a message box's text and presses a button
//   guidriver close TITLE                   closes the window
//   guidriver waittext TITLE ID TEXT        waits (up to ten minutes) until a control shows the text
//   guidriver shot TITLE NAME               saves a screenshot of the window as NAME.png in the
//                                           screenshot folder and prints the file's path
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gui_driver.h"

namespace {

// "ID", or "PAGE-ID/ID": the control on the page that shows PAGE-ID (page buttons share their IDs
// with the tab strip's).
HWND Control(HWND top, const char* id)
{
    if (const char* slash = std::strchr(id, '/')) {
        HWND mark = gui::FindControl(top, std::atoi(id));
        return mark ? gui::FindControl(GetParent(mark), std::atoi(slash + 1)) : nullptr;
    }
    const int n = std::atoi(id);
    return n == 0 ? top : gui::FindControl(top, n);
}

int Run(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: guidriver COMMAND TITLE [ARGS...]\n");
        return 2;
    }
    const std::string command = argv[1];
    if (command == "answer") {
        std::string text;
        if (argc < 4 || !gui::AnswerMessageBox(argv[2], std::atoi(argv[3]), &text))
            return 1;
        std::printf("%s\n", text.c_str());
        return 0;
    }
    HWND top = gui::WaitForWindow(argv[2], command == "wait" ? 120000 : 10000);
    if (!top) {
        std::fprintf(stderr, "no window \"%s\"\n", argv[2]);
        return 1;
    }
    if (command == "wait")
        return 0;
    if (command == "close")
        return PostMessageA(top, WM_CLOSE, 0, 0) ? 0 : 1;
    if (command == "shot" && argc >= 4) {
        const std::string path = gui::SaveScreenshot(argv[3], top);
        std::printf("%s\n", path.c_str());
        return path.empty() ? 1 : 0;
    }
    if (command == "waittext" && argc >= 5)
        return gui::WaitForText(top, std::atoi(argv[3]), argv[4], 600000) ? 0 : 1;
    if (argc < 4)
        return 2;
    HWND control = Control(top, argv[3]);
    if (!control) {
        std::fprintf(stderr, "no control %s\n", argv[3]);
        return 1;
    }
    if (command == "click")
        return PostMessageA(control, BM_CLICK, 0, 0) ? 0 : 1;
    if (command == "text") {
        std::printf("%s\n", gui::Text(control).c_str());
        return 0;
    }
    if (command == "clickat" && argc >= 6)
        gui::ClickAt(control, std::atoi(argv[4]), std::atoi(argv[5]));
    else if (command == "move" && argc >= 6)
        gui::MoveTo(control, std::atoi(argv[4]), std::atoi(argv[5]));
    else if (command == "key" && argc >= 5)
        gui::KeyPress(control, static_cast<UINT>(std::atoi(argv[4])));
    else if (command == "wheel" && argc >= 5)
        gui::Wheel(control, std::atoi(argv[4]));
    else
        return 2;
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        return Run(argc, argv);
    } catch (...) {
        return 3;
    }
}
