#pragma once

#include <windows.h>

#include <string>

// A string resource of the running program; empty when it is missing.
std::string LoadResourceString(UINT id);
