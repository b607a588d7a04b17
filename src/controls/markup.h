#pragma once

#include <windows.h>

// Draws (or, with DT_CALCRECT, measures) a small subset of HTML: b/strong, i/em, u, sub, sup,
// font color, br and p. Returns the y offset of the last line. Without a box it starts at the
// current position and uses the rest of the device's width. When measuring with a box, the box
// becomes as wide as the widest line and as tall as the lines.
int RenderMarkup(const char* text, int length, RECT* box, UINT format, HDC dc);
