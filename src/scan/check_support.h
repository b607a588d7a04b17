#pragma once

#include <string>

class CRegistryScanner;

// The 64-bit build walks the 32-bit programs' registrations below Wow6432Node as well; the
// 32-bit build is never run where they exist (it refuses 64-bit Windows).
constexpr bool kWalksWow64Registrations = sizeof(void*) == 8;

// The shortcut walk of the profile folder, from folder (no trailing backslash).
void CheckShortcutsUnder(CRegistryScanner& engine, const std::string& folder);
