#include "scan/class_index.h"

#include <cstring>
#include <string_view>

namespace {

const CClassIndex::KNOWN kUnknown;

// The registry compares ASCII letters regardless of case; other characters are compared here only
// byte for byte, and a name holding any is left to the registry (IsAscii).
template <typename CHAR>
CHAR LowerAscii(CHAR c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<CHAR>(c - 'A' + 'a') : c;
}

bool IsAsciiName(const char* name, const char* expected)
{
    for (; *name && *expected; ++name, ++expected)
        if (LowerAscii(*name) != LowerAscii(*expected))
            return false;
    return *name == *expected;
}

bool IsAscii(const char* name)
{
    for (; *name; ++name)
        if (static_cast<unsigned char>(*name) >= 0x80)
            return false;
    return true;
}

// The same for a value's name as the walk read it.
bool IsWideName(const WIDE_VALUE& value, const char* expected)
{
    if (value.nameLength != strlen(expected))
        return false;
    for (DWORD i = 0; i < value.nameLength; ++i)
        if (LowerAscii(value.name[i]) != static_cast<wchar_t>(LowerAscii(expected[i])))
            return false;
    return true;
}

// Keys of the index: names compared as the registry compares ASCII names; any other byte must match
// exactly, so that the index may fail to find a name, never find another.
std::string Folded(std::string_view name)
{
    std::string folded(name);
    for (char& c : folded)
        c = LowerAscii(c);
    return folded;
}

// The names below key, folded, into names: false when they cannot all be read, or one cannot be
// named in the code page (it might be the one asked for).
bool ReadNames(HKEY key, std::unordered_set<std::string>& names)
{
    char name[kLongNameChars];
    for (DWORD index = 0;; ++index) {
        const LONG rc = EnumKeyName(key, index, name, sizeof name);
        if (rc == ERROR_NO_MORE_ITEMS)
            return true;
        if (rc != ERROR_SUCCESS)
            return false;
        names.insert(Folded(name));
    }
}

} // namespace

const CClassIndex::CLASS* CClassIndex::FindClass(const char* cls) const
{
    if (!m_usable)
        return nullptr;
    const std::string folded = Folded(cls);
    if (m_userClasses.count(folded))
        return nullptr;
    const auto found = m_classes.find(folded);
    return found == m_classes.end() ? nullptr : &found->second;
}

const CClassIndex::KNOWN& CClassIndex::ServerEntry(const char* cls, size_t entry) const
{
    const CLASS* found = FindClass(cls);
    return found && entry < kServerEntryCount ? found->entries[entry] : kUnknown;
}

const CClassIndex::KNOWN& CClassIndex::ClassAppId(const char* cls) const
{
    const CLASS* found = FindClass(cls);
    return found ? found->appId : kUnknown;
}

const CClassIndex::KNOWN& CClassIndex::FindNamed(const std::unordered_map<std::string, KNOWN>& map,
                                                 const char* name) const
{
    if (!m_usable)
        return kUnknown;
    const std::string folded = Folded(name);
    if (m_userNames.count(folded))
        return kUnknown;
    const auto found = map.find(folded);
    return found == map.end() ? kUnknown : found->second;
}

const CClassIndex::KNOWN& CClassIndex::NamedClass(const char* name) const
{
    return FindNamed(m_named, name);
}

const CClassIndex::KNOWN& CClassIndex::ExtensionType(const char* name) const
{
    return FindNamed(m_extensionTypes, name);
}

const CClassIndex::KNOWN& CClassIndex::OpenCommand(const char* name) const
{
    return FindNamed(m_openCommands, name);
}

const std::vector<std::string>* CClassIndex::WalkedClasses() const
{
    return m_usable && m_classOrder.known && !m_userNames.count("clsid") ? &m_classOrder.names : nullptr;
}

const std::vector<std::string>* CClassIndex::WalkedTopNames() const
{
    return m_usable && m_nameOrder.known && m_userNames.empty() ? &m_nameOrder.names : nullptr;
}

// The machine's keys are in HKEY_CLASSES_ROOT whatever the user's classes hold. A name with a
// backslash would be a path, not one key.
bool CClassIndex::HasClass(const std::string& cls) const
{
    return cls.find('\\') == std::string::npos && m_classes.count(Folded(cls)) != 0;
}

bool CClassIndex::HasAppId(const std::string& appId) const
{
    return appId.find('\\') == std::string::npos && m_appIds.count(Folded(appId)) != 0;
}

void CClassIndex::ReadUserClasses()
{
    m_usable = false;
    m_userNames.clear();
    m_userClasses.clear();
    RegKey classes;
    LONG rc = RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Classes", 0, KEY_READ, classes.put());
    if (rc == ERROR_FILE_NOT_FOUND) {
        m_usable = true;
        return;
    }
    if (rc != ERROR_SUCCESS || !ReadNames(classes.get(), m_userNames))
        return;
    RegKey clsid;
    rc = RegOpenKeyExA(classes.get(), "CLSID", 0, KEY_READ, clsid.put());
    if (rc == ERROR_FILE_NOT_FOUND || (rc == ERROR_SUCCESS && ReadNames(clsid.get(), m_userClasses)))
        m_usable = true;
}

bool CClassIndex::CFiller::Below(KIND parent, const char* name, KIND& kind, size_t& entry) const
{
    // A name the code page cannot hold is none the checks read.
    if (!name)
        return false;
    switch (parent) {
    case MACHINE:
        kind = SOFTWARE;
        return IsAsciiName(name, "SOFTWARE");
    case SOFTWARE:
        kind = CLASSES;
        return IsAsciiName(name, "Classes");
    case CLASSES:
        kind = IsAsciiName(name, "CLSID") ? CLSID_LIST : IsAsciiName(name, "AppID") ? APPID_LIST : NAME;
        return true;
    case CLSID_LIST:
        kind = CLASS_KEY;
        return true;
    case NAME:
        kind = IsAsciiName(name, "CLSID") ? NAMED_CLASS : SHELL;
        return kind == NAMED_CLASS || IsAsciiName(name, "shell");
    case SHELL:
        kind = SHELL_OPEN;
        return IsAsciiName(name, "open");
    case SHELL_OPEN:
        kind = OPEN_COMMAND;
        return IsAsciiName(name, "command");
    case CLASS_KEY:
        kind = SERVER_ENTRY;
        for (entry = 0; entry < kServerEntryCount; ++entry)
            if (IsAsciiName(name, kServerEntries[entry]))
                return true;
        return false;
    default:
        return false;
    }
}

CTreeVisitor::ENTRY CClassIndex::CFiller::Enter(const TREE_KEY& key)
{
    if (key.depth == 0) {
        m_levels.emplace_back().kind = MACHINE;
        return FOLLOW;
    }
    LEVEL level;
    level.kind = m_pendingKind;
    level.name = Folded(key.name);
    level.entry = m_pendingEntry;
    // Nothing is known of a key that cannot be opened: its records stay unknown.
    if (!key.handle)
        return SKIP;
    m_levels.push_back(std::move(level));
    return FOLLOW;
}

CTreeVisitor::SUBKEY CClassIndex::CFiller::Subkey(const char* name)
{
    LEVEL& top = m_levels.back();
    // The lists as WalkSubkeys makes them: names the code page cannot hold passed over, a name too
    // long for its buffer the end.
    if ((top.kind == CLASSES || top.kind == CLSID_LIST) && name) {
        ORDER& order = top.kind == CLASSES ? m_index.m_nameOrder : m_index.m_classOrder;
        order.cut = order.cut || strlen(name) + 1 > kShortNameChars;
        if (!order.cut)
            order.names.emplace_back(name);
    }
    if (top.kind == APPID_LIST) {
        if (name)
            m_index.m_appIds.insert(Folded(name));
        return PASS_OVER;
    }
    // Which of the subkeys it looks for a key has is known only when every subkey's name is plain
    // enough to compare.
    if (top.kind >= NAME && (!name || !IsAscii(name)))
        top.oddName = true;
    if (!Below(top.kind, name, m_pendingKind, m_pendingEntry))
        return PASS_OVER;
    if (m_pendingKind == CLASS_KEY)
        m_index.m_classes.try_emplace(Folded(name));
    else
        top.found |= FoundBit(m_pendingKind, m_pendingEntry);
    return ENTER;
}

void CClassIndex::CFiller::SubkeysEnded(bool complete)
{
    LEVEL& top = m_levels.back();
    top.subkeysRead = complete && !top.oddName;
}

bool CClassIndex::CFiller::WantsValues()
{
    // The values of a key are read to tell a link (a key whose values name another) as well.
    return m_levels.back().kind >= CLASSES && m_levels.back().kind != APPID_LIST;
}

bool CClassIndex::CFiller::Value(const WIDE_VALUE& value)
{
    LEVEL& top = m_levels.back();
    if (value.rc == ERROR_SUCCESS && value.type == REG_LINK)
        top.isLink = true;
    const bool recorded = top.kind == CLASS_KEY ? IsWideName(value, "AppID") : value.nameLength == 0;
    if (!recorded)
        return true;
    // As ReadValueText reads it: at most kShortDataBytes, cut at the first zero.
    char name[kLongNameChars];
    char data[kShortDataBytes + 1];
    DWORD nameLen = sizeof name;
    DWORD dataLen = kShortDataBytes;
    KNOWN& text = top.text;
    top.seen = true;
    if (AnswerEnumValue(value, name, &nameLen, nullptr, reinterpret_cast<BYTE*>(data), &dataLen) != ERROR_SUCCESS) {
        text.state = KNOWN::UNKNOWN;
        return true;
    }
    data[dataLen < kShortDataBytes ? dataLen : kShortDataBytes] = '\0';
    text.state = KNOWN::READ;
    text.text = data;
    return true;
}

void CClassIndex::CFiller::ValuesEnded(bool complete)
{
    LEVEL& top = m_levels.back();
    top.valuesRead = complete;
    if (complete && !top.seen)
        top.text.state = KNOWN::NONE;
}

CClassIndex::KNOWN CClassIndex::CFiller::Below(LEVEL& level, unsigned bit, KNOWN& child)
{
    if (!level.valuesRead || level.isLink)
        return KNOWN();
    if (level.found & bit)
        return std::move(child);
    return level.subkeysRead ? KNOWN{KNOWN::NONE, {}} : KNOWN();
}

void CClassIndex::CFiller::Leave()
{
    LEVEL level = std::move(m_levels.back());
    m_levels.pop_back();
    // A key read in part, or a link, tells nothing.
    const bool whole = level.valuesRead && !level.isLink;
    LEVEL* const parent = m_levels.empty() ? nullptr : &m_levels.back();
    switch (level.kind) {
    case SERVER_ENTRY:
        parent->entries[level.entry] = whole ? std::move(level.text) : KNOWN();
        break;
    case NAMED_CLASS:
        parent->clsid = whole ? std::move(level.text) : KNOWN();
        break;
    case OPEN_COMMAND:
        parent->command = whole ? std::move(level.text) : KNOWN();
        break;
    case SHELL_OPEN:
    case SHELL:
        parent->command = Below(level, FoundBit(level.kind == SHELL ? SHELL_OPEN : OPEN_COMMAND), level.command);
        break;
    case CLASS_KEY: {
        CLASS& record = m_index.m_classes[level.name];
        if (!whole)
            break;
        record.appId = std::move(level.text);
        for (size_t entry = 0; entry < kServerEntryCount; ++entry) {
            if (level.found & (1u << entry))
                record.entries[entry] = std::move(level.entries[entry]);
            else if (level.subkeysRead)
                record.entries[entry].state = KNOWN::NONE;
        }
        break;
    }
    case CLASSES:
    case CLSID_LIST:
        (level.kind == CLASSES ? m_index.m_nameOrder : m_index.m_classOrder).known = whole && level.subkeysRead;
        break;
    case NAME:
        if (!whole)
            break;
        m_index.m_named[level.name] = Below(level, FoundBit(NAMED_CLASS), level.clsid);
        m_index.m_openCommands[level.name] = Below(level, FoundBit(SHELL), level.command);
        if (level.name[0] == '.')
            m_index.m_extensionTypes[level.name] = std::move(level.text);
        break;
    default:
        break;
    }
}
