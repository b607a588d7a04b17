#pragma once

// The product's own web site: the support page and, unless the settings name another, the update
// server.
constexpr const char* kProductHost = "www.hivora.com";
// The program's version as its pages show it and the update check compares it.
constexpr const char* kProductVersion = "2.1.4";
