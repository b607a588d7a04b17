// guidriver: drives another program's windows from the command line (for scripts and screenshots).
//   guidriver wait TITLE                    waits until a window with the title is shown
// Controls are addressed by ID: the visible window with that ID anywhere under the top-level window.
//   guidriver click TITLE ID                clicks a button
//   guidriver clickat TITLE ID X Y          left click at client coordinates of a control
//   guidriver move TITLE ID X Y             moves the mouse over a control
//   guidriver key TITLE ID VK               presses a key (virtual-key code) in a control
//   guidriver wheel TITLE ID DELTA          turns the wheel over a control
//   guidriver text TITLE ID                 prints a control's text (ID 0: the window's own)
//   guidriver answer CAPTION BUTTON-ID      prints a message box's text and presses a button
//   guidriver close TITLE                   closes the window
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "gui_driver.h"

namespace {

HWND Control(HWND top, const char* id)
{
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
    HWND top = gui::WaitForWindow(argv[2]);
    if (!top) {
        std::fprintf(stderr, "no window \"%s\"\n", argv[2]);
        return 1;
    }
    if (command == "wait")
        return 0;
    if (command == "close")
        return PostMessageA(top, WM_CLOSE, 0, 0) ? 0 : 1;
    if (argc < 4)
        return 2;
    HWND control = Control(top, argv[3]);
    if (!control) {
        std::fprintf(stderr, "no control %s\n", argv[3]);
        return 1;
    }
    if (command == "click")
        return gui::Click(top, std::atoi(argv[3])) ? 0 : 1;
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
