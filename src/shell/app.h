#pragma once

#include <string>

// The program's start: log, single instance, start-up switches, first-run defaults, main window.
class CHivoraApp {
public:
    // Runs the program; always false: the process ends after it.
    bool InitInstance(const std::string& commandLine);
};
