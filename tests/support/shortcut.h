#pragma once

#include <string>

// Saves a shortcut file at link that points at target (which need not exist), as the shell makes
// one. COM must be initialised on the calling thread. False when any step failed.
bool MakeShortcut(const std::string& link, const std::string& target);

// The profile's Desktop folder, made when missing: a folder the shortcut check walks. Empty when the
// profile folder is unknown.
std::string DesktopFolder();
