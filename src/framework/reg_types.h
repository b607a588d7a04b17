#pragma once

// The registry's value types for logic that also builds without windows.h: on Windows the
// system's own definitions, elsewhere the same numbers.
#ifdef _WIN32
#include <windows.h>
#else
#include <cstdint>
constexpr uint32_t REG_NONE = 0;
constexpr uint32_t REG_SZ = 1;
constexpr uint32_t REG_EXPAND_SZ = 2;
constexpr uint32_t REG_BINARY = 3;
constexpr uint32_t REG_DWORD = 4;
constexpr uint32_t REG_MULTI_SZ = 7;
#endif
