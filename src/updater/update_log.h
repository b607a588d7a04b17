#pragma once

#include <string>

// Writes one "WARN " record about a refused update to the program's log folder ("Logs" beside
// Patchwell.dll, made for administrators only when missing), in the form of the program's own log.
void LogUpdateWarning(const std::string& text);
