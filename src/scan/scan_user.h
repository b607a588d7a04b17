#pragma once

#include <string>

// Elevation can run the program under another account than the signed-in user's (a standard user
// approving with an administrator's password; a separate administrator account for elevation).
// Then HKEY_CURRENT_USER and the environment are that account's, not the signed-in user's.

// What the scan tells once when the process's user is not the signed-in user (names as
// DOMAIN\user, compared without regard to case); empty when they are the same or either is unknown.
std::string OtherUserNotice(const std::string& processUser, const std::string& signedInUser);

// Whether keyPath (HKEY_USERS\<SID>...) lies in another user's hive than ownSid's (its classes
// hive, <SID>_Classes, is its own): text there that needs the user's environment (%USERPROFILE%
// and the like) cannot be checked with this process's environment.
bool IsOtherUsersHive(const std::string& keyPath, const std::string& ownSid);

// The notice for this process, found once.
const std::string& ScanUserNotice();

// The process user's SID as text (S-1-5-...); empty when it cannot be read.
const std::string& ProcessUserSid();
