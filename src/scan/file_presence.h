#pragma once

// Whether the files that registry entries name are present: the engine's one set of rules, with one
// cache behind it. Checks make a CFilePresence for each walk; the free functions ask once.

#include <string>
#include <unordered_map>
#include <unordered_set>

#include "scan/presence_rules.h"

// Answers, for one walk, whether the files its entries name are present, and remembers each answer
// for the rest of the walk: registries name the same files, and the same leading words of paths
// ("C:\Program"), many times over. Every answer is the one the file system gives when first asked.
// A file counts as absent only when it is missing by the rules of presence_rules.h (the system says
// so, for a path on a local fixed drive); a file that cannot be checked counts as present, and is
// remembered so, never as missing.
// A folder asked about for a second file is listed once, and its listing answers for its other files
// wherever it gives exactly the file system's answer (see IsPlainName).
class CFilePresence {
public:
    // The name is found in the current folder, the system folders or the PATH folders
    // (PathFindOnPath). True, without a search, for an empty name (an entry that names no file is
    // no finding) and for a path that IsUntestablePath. A path that names its drive or share is not
    // searched for (false): whether it is there is Exists's answer.
    bool OnSearchPath(const std::string& name);
    // A file or folder is at path, or may be: false only when it is missing (presence_rules.h); false
    // for an empty path, true for a path that IsUntestablePath. Tested through the wide calls, in
    // the "\\?\" form where the path is MAX_PATH or longer.
    bool Exists(const std::string& path);
    // A file reference: found on the search path, or at its path (FileReferenceExists).
    bool ReferenceExists(const std::string& path) { return OnSearchPath(path) || Exists(path); }
    // A file in folder matches name, which may hold wildcards (FindFirstFile on folder\name), or
    // may: false only when none is there by the rules of presence_rules.h.
    bool Matches(const std::string& folder, const std::string& name);
    // A prefix of a whole command line names a program that exists, or does so with ".exe" added; a
    // text with a question mark is present (CommandLineTargetExists). For a 32-bit program's
    // registration (view32) a program also counts as present where a 32-bit program finds it by
    // that path (Path32BitView).
    bool CommandLineTargetExists(const std::string& text, bool view32 = false);
    // The test of the drive-path walks (file path references, deep scan) for a value's text: found on
    // the search path, a wildcard, or the command-line test. Whole texts are remembered too.
    bool DrivePathPresent(const std::string& text, bool view32);

private:
    struct TESTS {
        signed char onSearchPath = -1; // -1: not asked yet
        signed char state = -1;        // a FILE_STATE
    };
    struct LISTING {
        int asked = 0;
        int state = 0; // 0: not listed yet, 1: listed, -1: cannot answer
        std::unordered_set<std::string> upperNames;
    };
    enum ANSWER { kUnknown = -1, kMissing = 0, kPresent = 1 };

    // What the file system says of path (presence_rules.h).
    FILE_STATE State(const std::string& path);
    // GetDriveType of a drive's root, asked once per walk.
    unsigned DriveType(const std::string& root);
    // The command-line test of a text whose native prefix is already converted.
    bool CandidateExists(const std::string& text, bool view32);
    // What the listing of folder says of name, where it answers exactly as the file system would.
    ANSWER Listed(const std::string& folder, const std::string& name);
    // name is one the file system compares with a listing's names plainly: no wildcards, streams,
    // folder parts, short-name marks, device names, trailing dots or blanks, nothing outside ASCII.
    static bool IsPlainName(const std::string& name);
    static bool List(const std::string& folder, LISTING& listing);
    const std::string& WindowsFolder();

    std::unordered_map<std::string, TESTS> m_tests;
    std::unordered_map<std::string, LISTING> m_folders;
    std::unordered_map<std::string, unsigned> m_driveTypes;
    std::unordered_map<std::string, bool> m_texts[2];
    std::string m_upperName;
    std::string m_windowsFolder;
    bool m_bWindowsFolderRead = false;
};

// The same rules asked once, without a walk's memory.
bool FileReferenceExists(const std::string& path);
bool CommandLineTargetExists(const std::string& text);
