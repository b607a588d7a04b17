#pragma once

#include <string>
#include <vector>

#include "scan/problem.h"

class CRegistryScanner;
class CTreeVisitor;

// The 64-bit build walks the 32-bit programs' registrations below Wow6432Node as well; the
// 32-bit build is never run where they exist (it refuses 64-bit Windows).
constexpr bool kWalksWow64Registrations = sizeof(void*) == 8;

// The shortcut walk of the profile folder, from folder (no trailing backslash).
void CheckShortcutsUnder(CRegistryScanner& engine, const std::string& folder);
// The same over several folders, in order; a folder met again (under any name) is not walked again,
// and a shortcut met again is not reported again.
void CheckShortcutsUnder(CRegistryScanner& engine, const std::vector<std::string>& folders);

// The font check with systemFolder as the folder Windows keeps fonts in; empty: none was found, and
// nothing is reported.
void CheckFontsIn(CRegistryScanner& engine, const std::string& systemFolder);

// The shared walk of the whole trees (HKEY_LOCAL_MACHINE, HKEY_USERS) in the turn of first: lead,
// when given, walks with the file path references and the deep scan; the findings of those two that
// are selected and come after first are kept for their own turn.
void RunTreeChecks(CRegistryScanner& engine, REGPROBLEM_TYPE first, CTreeVisitor* lead = nullptr);
