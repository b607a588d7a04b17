#pragma once

// The product's own web site: the support page and, unless the settings name another, the update
// server.
constexpr const char* kProductHost = "www.hivora.com";
// The program's version as its pages and log show it and the update check compares it (the
// project's version, which the version resources carry too).
extern const char kProductVersion[];
