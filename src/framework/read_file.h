#pragma once

#include <string>

#include "framework/handles.h"

// Reads the whole file at path into text through a handle that lets others only read it, and hands
// that handle back still open, so that what was read stays as it is while the caller holds it. The
// handle is empty, and text empty too, when the file cannot be opened or any read fails: a part of a
// file is never taken for the whole.
FileHandle ReadWholeFile(const std::string& path, std::string& text);
