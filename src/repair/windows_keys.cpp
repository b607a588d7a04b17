#include "repair/windows_keys.h"

#include <vector>

#include "repair/ansi_case.h"

namespace {

// Where a place is found: below a classes root, below a Software key, or below a user's hive.
enum VIEW_KIND { VK_CLASSES, VK_SOFTWARE, VK_USER };

struct PLACE {
    VIEW_KIND nKind;
    const char* pszPath;
};

// State Windows keeps for itself and cleans itself. Whatever a check concludes, nothing in these
// trees is a finding.
const PLACE kPackageState[] = {
    // Windows' app deployment keeps its package database here and cleans it when a package goes; a
    // value removed by anyone else corrupts it. The files it names live in folders only the system
    // may read, so to a cleaner they look missing. Programmatic identifiers of packaged apps
    // (IsAppXProgId) belong here too.
    {VK_CLASSES, "Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppModel"},
    {VK_CLASSES, "Local Settings\\MrtCache"},
    {VK_CLASSES, "ActivatableClasses"},
    {VK_CLASSES, "PackagedCom"},
    {VK_SOFTWARE, "Microsoft\\Windows\\CurrentVersion\\Appx"},
    // Windows Installer's own records of the products it installed: per-machine and per-user
    // products, features, components (whose key paths name files, folders and registry keys in
    // its "NN:\\" form), patches, upgrade codes and source lists. Repair, patching and uninstall of
    // those products read them; a product whose files a cleaner takes for missing may be one
    // installed to run from its source, and removing any of it leaves the product impossible to
    // repair or remove. Windows Installer removes its records itself.
    {VK_CLASSES, "Installer"},
    {VK_SOFTWARE, "Microsoft\\Windows\\CurrentVersion\\Installer"},
    {VK_SOFTWARE, "Microsoft\\Installer"},
};

// Keys that hold the entries of many programs. A check reports entries below them, never the
// keys themselves; a removal of one, or of a key above one, can only come from a check gone wrong.
const PLACE kContainers[] = {
    {VK_CLASSES, "CLSID"},
    {VK_CLASSES, "AppID"},
    {VK_CLASSES, "TypeLib"},
    {VK_CLASSES, "Interface"},
    {VK_CLASSES, "Installer"},
    {VK_SOFTWARE, "Microsoft\\Windows\\CurrentVersion\\Uninstall"},
    {VK_SOFTWARE, "Microsoft\\Windows\\CurrentVersion\\Run"},
    {VK_SOFTWARE, "Microsoft\\Windows\\CurrentVersion\\RunOnce"},
    {VK_SOFTWARE, "Microsoft\\Windows\\CurrentVersion\\App Paths"},
    {VK_SOFTWARE, "Microsoft\\Windows\\CurrentVersion\\SharedDLLs"},
    {VK_SOFTWARE, "Microsoft\\Windows\\CurrentVersion\\Explorer"},
    {VK_SOFTWARE, "Microsoft\\Windows\\CurrentVersion\\Installer"},
    {VK_SOFTWARE, "Microsoft\\Windows NT\\CurrentVersion\\Fonts"},
    {VK_SOFTWARE, "Microsoft\\Windows\\Help"},
    {VK_SOFTWARE, "Microsoft\\Windows\\HTML Help"},
    {VK_USER, "AppEvents\\Schemes\\Apps"},
};

// The folders of packaged apps, lower-cased, as a path or an environment reference writes them.
const char* const kPackagedAppFolders[] = {
    "\\program files\\windowsapps", "\\progra~1\\windowsapps", "%programfiles%\\windowsapps",
    "%programw6432%\\windowsapps",  "\\windows\\systemapps",   "%systemroot%\\systemapps",
    "%windir%\\systemapps",
};

using COMPONENTS = std::vector<std::string>;

// The lower-cased names of a key path; empty names (doubled or trailing backslashes) are dropped.
// A backslash that is the second byte of a double-byte character separates nothing.
COMPONENTS Split(std::string_view path)
{
    const CAnsiCase& textCase = CAnsiCase::System();
    COMPONENTS names;
    std::string name;
    for (size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (textCase.IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < path.size()) {
            name += c;
            name += path[++i];
        } else if (c == '\\') {
            if (!name.empty())
                names.push_back(textCase.Lower(name));
            name.clear();
        } else {
            name += c;
        }
    }
    if (!name.empty())
        names.push_back(textCase.Lower(name));
    return names;
}

struct VIEW {
    VIEW_KIND nKind;
    size_t nStart; // the first name below the view's root
};

// Every view a key path is seen in, by the root each begins at.
class CViews {
public:
    explicit CViews(const COMPONENTS& names) : m_names(names)
    {
        if (names.empty())
            return;
        const std::string& root = names[0];
        if (root == "hkey_classes_root") {
            Classes(1);
        } else if (root == "hkey_local_machine") {
            if (Is(1, "software"))
                Software(2);
        } else if (root == "hkey_current_user") {
            User(1);
        } else if (root == "hkey_users" && names.size() > 1) {
            const std::string& hive = names[1];
            const std::string suffix = "_classes";
            if (hive.size() > suffix.size() && hive.compare(hive.size() - suffix.size(), suffix.size(), suffix) == 0)
                Classes(2);
            else
                User(2);
        }
    }

    const std::vector<VIEW>& Views() const { return m_views; }

private:
    bool Is(size_t at, const char* name) const { return at < m_names.size() && m_names[at] == name; }

    void Classes(size_t at)
    {
        m_views.push_back({VK_CLASSES, at});
        if (Is(at, "wow6432node"))
            m_views.push_back({VK_CLASSES, at + 1});
    }

    void Software(size_t at)
    {
        m_views.push_back({VK_SOFTWARE, at});
        if (Is(at, "classes"))
            Classes(at + 1);
        if (Is(at, "wow6432node")) {
            m_views.push_back({VK_SOFTWARE, at + 1});
            if (Is(at + 1, "classes"))
                Classes(at + 2);
        }
    }

    void User(size_t at)
    {
        m_views.push_back({VK_USER, at});
        if (Is(at, "software"))
            Software(at + 1);
    }

    const COMPONENTS& m_names;
    std::vector<VIEW> m_views;
};

struct TABLE_ENTRY {
    VIEW_KIND nKind;
    COMPONENTS names;
};

template <size_t N>
std::vector<TABLE_ENTRY> Lowered(const PLACE (&places)[N])
{
    std::vector<TABLE_ENTRY> table;
    for (const PLACE& place : places)
        table.push_back({place.nKind, Split(place.pszPath)});
    return table;
}

// names from start on begin with prefix.
bool StartsWith(const COMPONENTS& names, size_t start, const COMPONENTS& prefix)
{
    if (names.size() < start || names.size() - start < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (names[start + i] != prefix[i])
            return false;
    return true;
}

bool IsAsciiAlnum(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Where a folder name in a path ends: the end of the text, a separator or what follows a path.
bool EndsName(std::string_view text, size_t at)
{
    return at == text.size() || std::string_view("\\/\"',;?").find(text[at]) != std::string_view::npos;
}

} // namespace

bool IsAppXProgId(std::string_view name)
{
    if (name.size() != 36 || CAnsiCase::System().Lower(name.substr(0, 4)) != "appx")
        return false;
    for (char c : name.substr(4))
        if (!IsAsciiAlnum(c))
            return false;
    return true;
}

bool IsPackageStateKey(const std::string& keyPath)
{
    static const std::vector<TABLE_ENTRY> table = Lowered(kPackageState);
    const COMPONENTS names = Split(keyPath);
    const CViews views(names);
    for (const VIEW& view : views.Views()) {
        if (view.nKind == VK_CLASSES && view.nStart < names.size() && IsAppXProgId(names[view.nStart]))
            return true;
        for (const TABLE_ENTRY& entry : table)
            if (entry.nKind == view.nKind && StartsWith(names, view.nStart, entry.names))
                return true;
    }
    return false;
}

bool NamesPackagedAppFolder(std::string_view text)
{
    const std::string lowered = CAnsiCase::System().Lower(text);
    for (std::string_view folder : kPackagedAppFolders)
        for (size_t at = lowered.find(folder); at != std::string::npos; at = lowered.find(folder, at + 1))
            if (EndsName(lowered, at + folder.size()))
                return true;
    return false;
}

bool IsPackageState(const std::string& keyPath, const std::string& valueName, const std::string& data)
{
    return IsPackageStateKey(keyPath) || NamesPackagedAppFolder(valueName) || NamesPackagedAppFolder(data) ||
           IsAppXProgId(data);
}

bool IsProtectedKey(const std::string& keyPath)
{
    static const std::vector<TABLE_ENTRY> table = Lowered(kContainers);
    const COMPONENTS names = Split(keyPath);
    if (names.empty())
        return true;
    // Below HKEY_LOCAL_MACHINE and HKEY_USERS each key is a hive; HKEY_CURRENT_USER and
    // HKEY_CURRENT_CONFIG are one. HKEY_CLASSES_ROOT merges parts of hives: only itself is guarded.
    const std::string& root = names[0];
    int hiveDepth;
    if (root == "hkey_local_machine" || root == "hkey_users")
        hiveDepth = 1;
    else if (root == "hkey_current_user" || root == "hkey_current_config")
        hiveDepth = 0;
    else if (root == "hkey_classes_root")
        hiveDepth = -1;
    else
        return true;
    if (static_cast<int>(names.size()) - 1 <= hiveDepth + 1)
        return true;
    const CViews views(names);
    for (const VIEW& view : views.Views()) {
        // The key is a container or lies on the way to one.
        const COMPONENTS below(names.begin() + static_cast<std::ptrdiff_t>(view.nStart), names.end());
        for (const TABLE_ENTRY& entry : table)
            if (entry.nKind == view.nKind && StartsWith(entry.names, 0, below))
                return true;
    }
    return false;
}
