#pragma once

#include <windows.h>

#include <string>

#include "framework/result.h"

// "error N: message" for a Win32 error code, "error 0xXXXXXXXX: message" for an HRESULT: the one
// way every log line and reason names the code a system call failed with.
std::string ErrorText(DWORD code);
std::string HresultText(HRESULT hr);

// The thing asked for is not there (any more): a file, key or value not found, a path not found, a
// key deleted while it was open. Takes a Win32 code or an HRESULT made from one (HRESULT_FROM_WIN32).
bool IsGone(DWORD code);

// A failure naming what failed and the code's text: "the key could not be opened (error 5: ...)".
Result Failed(const std::string& what, DWORD code);
Result FailedHresult(const std::string& what, HRESULT hr);
