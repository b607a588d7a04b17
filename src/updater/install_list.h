#pragma once

#include <string>
#include <string_view>
#include <vector>

// Reads a decimal number the way atoi does: leading blanks and a sign, then digits up to the first
// other character; no digits read as 0. Values beyond int saturate instead of wrapping.
int ReadNumber(std::string_view text);

// True when a name taken from the update server (a target name or a zip entry name) stays inside
// the folder it is joined to: not absolute, no drive, UNC or stream prefix, no component that
// climbs out ("..", or one that Windows trims to it, such as ".. "), no DOS device name (CON, NUL,
// AUX, PRN, CONIN$, CONOUT$, COM1-COM9, LPT1-LPT9, COM and LPT with a superscript 1, 2 or 3, with
// or without an extension).
bool IsSafeRelativeName(std::string_view name);

// One downloaded file of the install list: the six fields of the server's file line and the
// name of the download in the temporary folder.
struct INSTALL_ENTRY {
    std::string strTarget;
    std::string strSeparatorHint;
    int nSize = 0;
    std::string strUrl;
    bool bArchive = false;
    bool bRun = false;
    std::string strTempName;
};

struct INSTALL_LIST {
    std::string strFolder;  // the program folder, ending with a backslash
    std::vector<INSTALL_ENTRY> arrEntries;
};

// One entry line as the check writes it: the file line exactly as received, a tab, the download's
// name and a line feed.
std::string FormatInstallEntry(std::string_view fileLine, std::string_view tempName);

// Parses the install list as read from disk (CR LF or LF line ends). The first line is the program
// folder; when it is shorter than 3 characters the next line is taken instead. Lines without
// exactly 7 tab-separated fields are skipped.
INSTALL_LIST ParseInstallList(std::string_view text);

// The path an entry is installed to: folder and target joined without a separator when the hint
// ends with a backslash, else with one.
std::string JoinTargetPath(const std::string& folder, const INSTALL_ENTRY& entry);
