#include "framework/folder_writers.h"

#include <cstdint>

namespace {

// Little-endian fields of the descriptor, bounds-checked.
bool Read16(std::string_view bytes, size_t at, uint32_t& value)
{
    if (at + 2 > bytes.size())
        return false;
    value = static_cast<uint8_t>(bytes[at]) | static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 8;
    return true;
}

bool Read32(std::string_view bytes, size_t at, uint32_t& value)
{
    uint32_t low = 0;
    uint32_t high = 0;
    if (!Read16(bytes, at, low) || !Read16(bytes, at + 2, high))
        return false;
    value = low | high << 16;
    return true;
}

// The SID at the start of bytes: revision 1, up to 15 sub-authorities.
std::string_view SidAt(std::string_view bytes)
{
    if (bytes.size() < 8 || bytes[0] != 1 || static_cast<uint8_t>(bytes[1]) > 15)
        return {};
    const size_t length = 8 + 4 * static_cast<size_t>(static_cast<uint8_t>(bytes[1]));
    return length <= bytes.size() ? bytes.substr(0, length) : std::string_view();
}

// SYSTEM, the Administrators, TrustedInstaller; with creators, also CREATOR OWNER and OWNER RIGHTS.
bool IsTrusted(const std::string& sid, bool creators)
{
    if (sid == "S-1-5-18" || sid == "S-1-5-32-544" ||
        sid == "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464")
        return true;
    return creators && (sid == "S-1-3-0" || sid == "S-1-3-4");
}

// Rights that change the folder or what is in it: write or append data (add a file or a folder),
// delete a child, delete, change the DACL, take ownership, and the generic write and all.
constexpr uint32_t kChangeRights = 0x2 | 0x4 | 0x40 | 0x10000 | 0x40000 | 0x80000 | 0x10000000 | 0x40000000;

} // namespace

std::string SidText(std::string_view sid)
{
    sid = SidAt(sid);
    if (sid.empty())
        return {};
    uint64_t authority = 0;
    for (size_t i = 2; i < 8; ++i)
        authority = authority << 8 | static_cast<uint8_t>(sid[i]);
    std::string text = "S-1-";
    text += std::to_string(authority);
    for (size_t i = 8; i < sid.size(); i += 4) {
        uint32_t part = 0;
        Read32(sid, i, part);
        text += '-';
        text += std::to_string(part);
    }
    return text;
}

namespace {

// Whether one entry of a DACL leaves the right to change with SYSTEM and the Administrators alone.
bool EntryIsTrusted(std::string_view ace, std::string& why)
{
    const uint8_t type = static_cast<uint8_t>(ace[0]);
    size_t sidAt = 8;
    switch (type) {
    case 0x00: // ACCESS_ALLOWED
    case 0x09: // ACCESS_ALLOWED_CALLBACK
        break;
    case 0x05: // ACCESS_ALLOWED_OBJECT
    case 0x0B: { // ACCESS_ALLOWED_CALLBACK_OBJECT: flags, then the GUIDs they announce
        uint32_t flags = 0;
        if (!Read32(ace, 8, flags)) {
            why = "its permissions cannot be read";
            return false;
        }
        sidAt = 12 + ((flags & 1) ? 16 : 0) + ((flags & 2) ? 16 : 0);
        break;
    }
    case 0x01: // ACCESS_DENIED and its object and callback forms take rights away
    case 0x06:
    case 0x0A:
    case 0x0C:
        return true;
    default:
        why = "its permissions hold an entry of a kind this program does not know";
        return false;
    }
    uint32_t mask = 0;
    Read32(ace, 4, mask);
    if (!(mask & kChangeRights))
        return true;
    const std::string sid = sidAt < ace.size() ? SidText(ace.substr(sidAt)) : "";
    if (sid.empty()) {
        why = "its permissions cannot be read";
        return false;
    }
    if (!IsTrusted(sid, true)) {
        why = sid;
        why += " may change it";
        return false;
    }
    return true;
}

} // namespace

bool OnlyAdministratorsCanChange(std::string_view descriptor, std::string& why)
{
    constexpr uint32_t kDaclPresent = 0x0004;
    constexpr uint32_t kSelfRelative = 0x8000;
    uint32_t control = 0;
    uint32_t ownerAt = 0;
    uint32_t daclAt = 0;
    if (descriptor.size() < 20 || descriptor[0] != 1 || !Read16(descriptor, 2, control) ||
        !(control & kSelfRelative) || !Read32(descriptor, 4, ownerAt) || !Read32(descriptor, 16, daclAt)) {
        why = "its permissions cannot be read";
        return false;
    }
    const std::string owner = ownerAt && ownerAt < descriptor.size() ? SidText(descriptor.substr(ownerAt)) : "";
    if (owner.empty()) {
        why = "it has no owner";
        return false;
    }
    if (!IsTrusted(owner, false)) {
        why = "its owner is ";
        why += owner;
        return false;
    }
    // No DACL at all gives everyone every right.
    if (!(control & kDaclPresent) || daclAt == 0) {
        why = "it has no permissions, so everyone may change it";
        return false;
    }
    uint32_t aclSize = 0;
    uint32_t count = 0;
    if (daclAt + 8 > descriptor.size() || !Read16(descriptor, daclAt + 2, aclSize) ||
        !Read16(descriptor, daclAt + 4, count) || aclSize < 8 || daclAt + aclSize > descriptor.size()) {
        why = "its permissions cannot be read";
        return false;
    }
    const std::string_view acl = descriptor.substr(daclAt, aclSize);
    size_t at = 8;
    for (uint32_t n = 0; n < count; ++n) {
        uint32_t size = 0;
        if (at + 4 > acl.size() || !Read16(acl, at + 2, size) || size < 8 || at + size > acl.size()) {
            why = "its permissions cannot be read";
            return false;
        }
        const std::string_view ace = acl.substr(at, size);
        at += size;
        if (!EntryIsTrusted(ace, why))
            return false;
    }
    return true;
}
