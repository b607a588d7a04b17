#pragma once

#include <string>

// Saves a shortcut file at link that points at target, as the shell makes one. COM must be
// initialised on the calling thread. False when any step failed.
bool MakeShortcut(const std::string& link, const std::string& target);
