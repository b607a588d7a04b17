#pragma once

// The product's own web site: the support page and, unless the settings name another, the update
// server.
constexpr const char* kProductHost = "www.hivora.com";
// The program's version as its pages and the update check compare it.
constexpr const char* kProgramVersion = "2.1.4";
