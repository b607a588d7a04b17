#pragma once

// What one walk of the machine's classes (HKEY_LOCAL_MACHINE\SOFTWARE\Classes) tells of the class
// registrations, so that the COM/ActiveX check need not open each key again when a shared walk has
// read them already. It answers only where it is certain: what the walk did not read whole, what
// the user's own classes may override in HKEY_CLASSES_ROOT, and whatever may be a finding are left
// to the check, which then reads the registry exactly as it does without the index.

#include <windows.h>

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "scan/tree_walk.h"
#include "scan/walk.h"

// The server and icon entries of a class whose default value names a file.
constexpr const char* kServerEntries[] = {
    "InprocServer32",  "InprocServer",  "LocalServer32",     "LocalServer",
    "InprocHandler32", "InprocHandler", "PersistentHandler", "DefaultIcon",
};
constexpr size_t kServerEntryCount = sizeof kServerEntries / sizeof kServerEntries[0];
constexpr size_t kInprocServer32 = 0;

class CClassIndex {
public:
    // A value as ReadValueText(key, name, kShortDataBytes) would read it.
    struct KNOWN {
        enum STATE { UNKNOWN, NONE, READ }; // NONE: the key or the value is not there
        STATE state = UNKNOWN;
        std::string text;
    };

    // The default value of CLSID\cls\kServerEntries[entry].
    const KNOWN& ServerEntry(const char* cls, size_t entry) const;
    // The AppID value of CLSID\cls.
    const KNOWN& ClassAppId(const char* cls) const;
    // The default value of name\CLSID.
    const KNOWN& NamedClass(const char* name) const;
    // The default value of an extension's key (name begins with a dot).
    const KNOWN& ExtensionType(const char* name) const;
    // The default value of name\shell\open\command.
    const KNOWN& OpenCommand(const char* name) const;
    // Whether HKEY_CLASSES_ROOT\CLSID\cls, or AppID\appId, is certainly there.
    bool HasClass(const std::string& cls) const;
    bool HasAppId(const std::string& appId) const;

    // The names below HKEY_CLASSES_ROOT\CLSID, and at its top, as WalkSubkeys with kShortNameChars
    // would list them there, when the walk read them whole and the user's own classes add none: the
    // classes root then shows the machine's key alone. Null otherwise.
    const std::vector<std::string>* WalkedClasses() const;
    const std::vector<std::string>* WalkedTopNames() const;

    // The names at the top of HKEY_CLASSES_ROOT as COM/ActiveX listed them in its turn (all of them,
    // as WalkSubkeys lists them with kShortNameChars), for the checks after it that list them again;
    // null when they were not kept.
    const std::vector<std::string>* TopNames() const { return m_namesKept ? &m_names : nullptr; }
    void KeepTopNames(std::vector<std::string> names)
    {
        m_names = std::move(names);
        m_namesKept = true;
    }

    // Reads which names the user's own classes (HKEY_CURRENT_USER\Software\Classes) hold, at the
    // top and below CLSID: HKEY_CLASSES_ROOT shows those keys in place of the machine's, so the index
    // answers nothing for them. When they cannot be read whole, it answers nothing at all.
    void ReadUserClasses();

    // The visitor of a shared walk that fills the index (tree_walk.h).
    class CFiller;

private:
    friend class CFiller;

    struct CLASS {
        KNOWN entries[kServerEntryCount];
        KNOWN appId;
    };
    const CLASS* FindClass(const char* cls) const;
    const KNOWN& FindNamed(const std::unordered_map<std::string, KNOWN>& map, const char* name) const;

    bool m_usable = false;
    bool m_namesKept = false;
    std::vector<std::string> m_names;
    // The subkeys of CLSID and of the top, in the walk's order, up to where WalkSubkeys would end.
    struct ORDER {
        std::vector<std::string> names;
        bool cut = false;   // a name too long for WalkSubkeys's buffer ended it
        bool known = false; // read whole
    };
    ORDER m_classOrder;
    ORDER m_nameOrder;
    std::unordered_map<std::string, CLASS> m_classes;
    std::unordered_map<std::string, KNOWN> m_named;
    std::unordered_map<std::string, KNOWN> m_extensionTypes;
    std::unordered_map<std::string, KNOWN> m_openCommands;
    std::unordered_set<std::string> m_appIds;
    std::unordered_set<std::string> m_userNames;
    std::unordered_set<std::string> m_userClasses;
};

// Calls visit(name) for each name of names or, when it is null, for each subkey of key as WalkSubkeys
// with kShortNameChars lists them; visit returns false to stop.
template <typename Visit>
void ForEachName(const std::vector<std::string>* names, HKEY key, Visit&& visit)
{
    if (!names) {
        WalkSubkeys(key, kShortNameChars, visit);
        return;
    }
    for (const std::string& name : *names)
        if (!visit(name.c_str()))
            return;
}

// The same for the names at the top of HKEY_CLASSES_ROOT (opened as root), from the names index
// kept when it did.
template <typename Visit>
void ForEachTopName(const CClassIndex* index, HKEY root, Visit&& visit)
{
    ForEachName(index ? index->TopNames() : nullptr, root, visit);
}

class CClassIndex::CFiller : public CTreeVisitor {
public:
    explicit CFiller(CClassIndex& index) : CTreeVisitor({REG_TREE::LOCAL_MACHINE}), m_index(index) {}

    void BeginTree(REG_TREE) override { m_levels.clear(); }
    ENTRY Enter(const TREE_KEY& key) override;
    SUBKEY Subkey(const char* name) override;
    void SubkeysEnded(bool complete) override;
    bool WantsValues() override;
    bool BeginValues(const VALUES_INFO&) override { return true; }
    bool Value(const WIDE_VALUE& value) override;
    void ValuesEnded(bool complete) override;
    void Leave() override;

private:
    // The keys of the walk, from HKEY_LOCAL_MACHINE down.
    enum KIND {
        MACHINE, SOFTWARE, CLASSES, CLSID_LIST, APPID_LIST, NAME, CLASS_KEY, SERVER_ENTRY, NAMED_CLASS,
        SHELL, SHELL_OPEN, OPEN_COMMAND,
    };
    // The bit a subkey of kind (a server entry: of kServerEntries[entry]) sets in its parent's
    // LEVEL::found.
    static unsigned FoundBit(KIND kind, size_t entry = 0)
    {
        return kind == SERVER_ENTRY ? 1u << entry : kind == SHELL ? 2u : 1u;
    }
    struct LEVEL {
        KIND kind = MACHINE;
        std::string name;      // the key's name, folded
        size_t entry = 0;      // SERVER_ENTRY: which of kServerEntries
        bool subkeysRead = false; // all of them, each named in ASCII
        bool oddName = false;     // a subkey the ASCII comparisons below cannot tell apart
        bool valuesRead = false;
        bool seen = false;        // the value recorded was among them
        bool isLink = false;      // a value of type REG_LINK: the key names another
        unsigned found = 0;       // the subkeys it leads on to (CLASS_KEY: which server entries)
        KNOWN text;               // CLASS_KEY: its AppID; the other keys: their default value
        KNOWN clsid;              // NAME: its CLSID subkey's default value
        KNOWN command;            // NAME, SHELL, SHELL_OPEN: the open command below it
        KNOWN entries[kServerEntryCount]; // CLASS_KEY: its server entries' default values
    };
    // The key a LEVEL of kind holds below a parent of kind parent, or none to pass it over.
    bool Below(KIND parent, const char* name, KIND& kind, size_t& entry) const;
    // What a key just left tells of the value its subkey (bit) leads to: child, as the subkey
    // told it, when the subkey was there; none when the key certainly has no such subkey.
    static KNOWN Below(LEVEL& level, unsigned bit, KNOWN& child);

    CClassIndex& m_index;
    std::vector<LEVEL> m_levels;
    KIND m_pendingKind = MACHINE; // what the subkey about to be entered is
    size_t m_pendingEntry = 0;
};
