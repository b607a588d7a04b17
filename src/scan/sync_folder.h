#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Folders that synchronise elsewhere (OneDrive and the other cloud-files providers): moving or
// deleting a file there is replayed on the user's other PCs, so a shortcut whose target exists only
// on another PC would vanish from all of them. The shortcut scan leaves such places alone.

// The file attributes the cloud-files placeholders carry (learn.microsoft.com, "File Attribute
// Constants"), and the reparse tag of a placeholder (IO_REPARSE_TAG_CLOUD, whose 0xF000 bits number
// the provider's variants).
constexpr uint32_t kAttributeOffline = 0x00001000;
constexpr uint32_t kAttributeReparsePoint = 0x00000400;
constexpr uint32_t kAttributeRecallOnOpen = 0x00040000;
constexpr uint32_t kAttributePinned = 0x00080000;
constexpr uint32_t kAttributeUnpinned = 0x00100000;
constexpr uint32_t kAttributeRecallOnDataAccess = 0x00400000;
constexpr uint32_t kReparseTagCloud = 0x9000001A;
constexpr uint32_t kReparseTagCloudMask = 0xFFFF0FFF;

// Whether the file or folder at path belongs to a synchronised folder: its attributes (and reparse
// tag, for a reparse point) mark a cloud placeholder, or it lies in one of the sync roots (folder
// paths, compared without regard to case, whole names only).
bool IsInSynchronisedFolder(const std::string& path, uint32_t attributes, uint32_t reparseTag,
                            const std::vector<std::string>& syncRoots);

// The sync roots the cloud-files providers registered with the system (the folders of every
// user's registration under the Explorer's SyncRootManager key), read from the registry.
std::vector<std::string> ReadSyncRoots();

// Whether the cloud-files API knows folder as inside a registered sync root (Windows 10 1709 and
// later; false where the API is missing).
bool IsUnderCloudFilesSyncRoot(const std::string& folder);
