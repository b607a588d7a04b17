#include "scan/scan_user.h"

#include "framework/ascii.h"
#include "framework/format.h"

std::string OtherUserNotice(const std::string& processUser, const std::string& signedInUser)
{
    if (processUser.empty() || signedInUser.empty() || LowerAscii(processUser) == LowerAscii(signedInUser))
        return {};
    return Format("Hivora runs as %s, not as %s, who is signed in: the per-user settings it scans are those of %s.",
                  processUser.c_str(), signedInUser.c_str(), processUser.c_str());
}

bool IsOtherUsersHive(const std::string& keyPath, const std::string& ownSid)
{
    const std::string root = "hkey_users\\";
    const std::string path = LowerAscii(keyPath);
    if (path.compare(0, root.size(), root) != 0)
        return false;
    const size_t end = path.find('\\', root.size());
    std::string hive = path.substr(root.size(), end == std::string::npos ? std::string::npos : end - root.size());
    const std::string classes = "_classes";
    if (hive.size() > classes.size() && hive.compare(hive.size() - classes.size(), classes.size(), classes) == 0)
        hive.resize(hive.size() - classes.size());
    return ownSid.empty() || hive != LowerAscii(ownSid);
}
