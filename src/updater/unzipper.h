#pragma once

#include <windows.h>

#include <unzip.h>

// What the archive says about its current entry.
struct UnzipEntryInfo {
    char szFileName[MAX_PATH + 1];  // backslashes as separators
    char szComment[256];
    DWORD dwVersion;
    DWORD dwVersionNeeded;
    DWORD dwFlags;
    DWORD dwCompressionMethod;
    DWORD dwDosDate;  // date in the high half, time in the low half
    DWORD dwCRC;
    DWORD dwCompressedSize;
    DWORD dwUncompressedSize;
    DWORD dwInternalAttrib;
    DWORD dwExternalAttrib;
    bool bFolder;
};

// Extracts zip archives. Entry names that would lead outside the output folder are refused.
class CUnzipper {
public:
    CUnzipper() = default;
    virtual ~CUnzipper();
    CUnzipper(const CUnzipper&) = delete;
    CUnzipper& operator=(const CUnzipper&) = delete;

    // Closes any open archive and opens the one at path; the default output folder becomes the
    // archive's path without its extension.
    bool Open(const char* path);
    void Close();

    // Without a name: moves to the first or next entry. With a name: moves on until an entry
    // whose file name and extension equal it, without regard to case.
    bool FirstEntry(const char* name = nullptr);
    bool NextEntry(const char* name = nullptr);

    bool ReadEntryInfo(UnzipEntryInfo& info);

    // Writes the current entry below folder (the default output folder when null); with
    // dropPaths only its file name is kept. The file gets the entry's date.
    bool ExtractEntry(const char* folder, bool dropPaths);
    // Writes every entry; fails on an archive without entries and at the first entry that fails.
    bool ExtractAll(const char* folder, bool dropPaths);

    static bool EnsureFolder(const char* path);
    static bool EnsureParentFolder(const char* path);
    static bool StampFileTime(const char* path, DWORD dosDate);

private:
    bool FindEntry(const char* name, bool fromFirst);

    unzFile m_hArchive = nullptr;
    char m_szOutputFolder[MAX_PATH] = {};
};
