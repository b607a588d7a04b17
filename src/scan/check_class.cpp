#include "scan/checks.h"

#include <cstring>

#include "scan/check_support.h"
#include "scan/class_index.h"
#include "scan/file_presence.h"
#include "scan/path_rules.h"
#include "scan/scanner.h"
#include "scan/walk.h"

namespace {

const char kClassesRoot[] = "HKEY_CLASSES_ROOT\\";

// Only drive paths are ever reported; anything else may be resolved in ways the scan cannot follow.
bool IsDrivePath(const std::string& path)
{
    return path.size() >= 2 && path[1] == ':';
}

void Report(CRegistryScanner& engine, std::string key, const char* valueName, const std::string& data,
            REGPROBLEM_TYPE type)
{
    engine.ReportProblem(std::make_unique<CRegistryProblem>(std::move(key), valueName, data, type, 0));
}

// The 32-bit view of the classes root as 64-bit code sees it. On 64-bit Windows CLSID and Interface
// are redirected: a 32-bit program's classes live only in this view, while the programmatic
// identifiers naming them are shared ("Registry Keys Affected by WOW64"). Type libraries and
// application identifiers are shared today but were redirected on older systems.
const char kWow64View[] = "Wow6432Node\\";

// An identifier registered below the classes root ("CLSID\\{...}", "AppID\\{...}") is missing only
// when neither view holds it.
bool IdentifierIsMissing(const std::string& place)
{
    return KeyIsMissing(HKEY_CLASSES_ROOT, place.c_str()) &&
           KeyIsMissing(HKEY_CLASSES_ROOT, (kWow64View + place).c_str());
}

// Where the files a registration names are looked for. A 32-bit program's registration (a type
// library's win32 entry, a class of the 32-bit view) names them as a 32-bit program reaches them:
// the 64-bit build also tries that reading (X86FolderReferences, Path32BitView), the rule of the
// walks below Wow6432Node. Either reading that finds the file makes it present.
class CServerFiles {
public:
    // The path extracted and normalised from raw; with restoreTail, a name cut inside is restored.
    static std::string Resolve(const std::string& raw, bool restoreTail, bool view32 = false)
    {
        std::string extracted = ExtractCommandTarget(raw);
        if (view32)
            extracted = X86FolderReferences(extracted);
        // NormalizeFilePath leaves extracted cut as the path was: the tail is restored from there.
        const std::string normalized = NormalizeFilePath(extracted);
        return restoreTail ? RestoreNameTail(raw, extracted, normalized) : normalized;
    }

    // The file raw names exists as a native program reads it or, for view32, as a 32-bit one does.
    bool Present(const std::string& raw, bool restoreTail, bool view32)
    {
        if (m_files.ReferenceExists(Resolve(raw, restoreTail)))
            return true;
        if (!view32 || !kWalksWow64Registrations)
            return false;
        if (m_windows.empty())
            m_windows = ExpandEnvironment("%SystemRoot%");
        return m_files.ReferenceExists(Path32BitView(Resolve(raw, restoreTail, true), m_windows));
    }

    CFilePresence& Files() { return m_files; }

private:
    CFilePresence m_files;
    std::string m_windows;
};

// The file a server entry's text names when it is a drive path that is not there (path is then
// that file).
bool ServerFileMissing(CFilePresence& files, const std::string& raw, std::string& path)
{
    std::string extracted = ExtractCommandTarget(raw);
    path = NormalizeFilePath(extracted);
    if (!IsDrivePath(path) || files.OnSearchPath(path))
        return false;
    // An icon index or other argument after a comma is not part of the file name.
    const size_t comma = path.find(',');
    if (comma != std::string::npos)
        path.resize(comma);
    return !files.Exists(path);
}

// Pass 1: the server files named under each class identifier; classes gets their names in order.
// What the index knows to be no finding is passed over; everything else is read from the registry.
// The names are the walk's where the index has them as the classes root lists them.
void CheckServerFiles(CRegistryScanner& engine, CFilePresence& files, const CClassIndex& index,
                      std::vector<std::string>& classes)
{
    const RegKey clsidRoot = OpenKey(HKEY_CLASSES_ROOT, "CLSID");
    if (!clsidRoot)
        return;
    std::string place;
    std::string raw;
    std::string path;
    ForEachName(index.WalkedClasses(), clsidRoot.get(), [&](const char* cls) {
        if (engine.StopRequested())
            return false;
        classes.emplace_back(cls);
        place.assign("CLSID\\");
        const size_t below = place.size();
        for (size_t entry = 0; entry < kServerEntryCount; ++entry) {
            place.resize(below);
            place.append(cls).append("\\").append(kServerEntries[entry]);
            engine.SendPath(place);
            const CClassIndex::KNOWN& known = index.ServerEntry(cls, entry);
            if (known.state == CClassIndex::KNOWN::NONE ||
                (known.state == CClassIndex::KNOWN::READ && !ServerFileMissing(files, known.text, path)))
                continue;
            const RegKey key = OpenKey(clsidRoot.get(), place.c_str() + below);
            if (key && ReadValueText(key.get(), "", kShortDataBytes, raw) && ServerFileMissing(files, raw, path))
                Report(engine, kClassesRoot + place, "(Default)", path, RPT_COM_ACTIVEX);
        }
        return true;
    });
}

// Pass 2: the application identifier each class of pass 1 names must be registered.
void CheckClassAppIds(CRegistryScanner& engine, const CClassIndex& index, const std::vector<std::string>& classes)
{
    const RegKey clsidRoot = OpenKey(HKEY_CLASSES_ROOT, "CLSID");
    if (!clsidRoot)
        return;
    std::string appId;
    std::string place;
    for (const std::string& cls : classes) {
        if (engine.StopRequested())
            return;
        const CClassIndex::KNOWN& known = index.ClassAppId(cls.c_str());
        if (known.state == CClassIndex::KNOWN::NONE)
            continue;
        if (known.state == CClassIndex::KNOWN::READ) {
            place.assign("AppID\\").append(known.text);
            engine.SendPath(place);
            if (index.HasAppId(known.text))
                continue;
        }
        const RegKey key = OpenKey(clsidRoot.get(), cls.c_str());
        if (!key || !ReadValueText(key.get(), "AppID", kShortDataBytes, appId))
            continue;
        place.assign("AppID\\").append(appId);
        engine.SendPath(place);
        if (IdentifierIsMissing(place))
            Report(engine, std::string(kClassesRoot).append("CLSID\\").append(cls), "AppID", appId, RPT_COM_ACTIVEX);
    }
}

// Pass 3: applications registered by name must point at a registered application identifier.
void CheckApplicationAppIds(CRegistryScanner& engine)
{
    const RegKey appIdRoot = OpenKey(HKEY_CLASSES_ROOT, "AppID");
    if (!appIdRoot)
        return;
    std::string appId;
    std::string place;
    WalkSubkeys(appIdRoot.get(), kShortNameChars, [&](const char* name) {
        if (engine.StopRequested())
            return false;
        if (name[0] == '{')
            return true;
        place.assign("AppID\\").append(name);
        engine.SendPath(place);
        const RegKey key = OpenKey(appIdRoot.get(), name);
        if (!key || !ReadValueText(key.get(), "AppID", kShortDataBytes, appId))
            return true;
        place.assign("AppID\\").append(appId);
        engine.SendPath(place);
        if (IdentifierIsMissing(place))
            Report(engine, std::string(kClassesRoot).append("AppID\\").append(name), "AppID", appId,
                   RPT_COM_ACTIVEX);
        return true;
    });
}

// Pass 4: every top-level name that refers to a class identifier must find it registered.
// The names are kept in index, for the later checks that list them again, when all were listed.
void CheckClassReferences(CRegistryScanner& engine, CClassIndex& index)
{
    std::string cls;
    std::string place;
    std::string target;
    std::vector<std::string> names;
    bool stopped = false;
    ForEachName(index.WalkedTopNames(), HKEY_CLASSES_ROOT, [&](const char* name) {
        if (engine.StopRequested()) {
            stopped = true;
            return false;
        }
        names.emplace_back(name);
        place.assign(name).append("\\CLSID");
        engine.SendPath(place);
        const CClassIndex::KNOWN& known = index.NamedClass(name);
        if (known.state == CClassIndex::KNOWN::NONE ||
            (known.state == CClassIndex::KNOWN::READ && index.HasClass(known.text)))
            return true;
        const RegKey key = OpenKey(HKEY_CLASSES_ROOT, place.c_str());
        if (!key || !ReadValueText(key.get(), "", kShortDataBytes, cls))
            return true;
        target.assign("CLSID\\").append(cls);
        engine.SendPath(target);
        if (IdentifierIsMissing(target))
            Report(engine, kClassesRoot + place, "{Default}", cls, RPT_COM_ACTIVEX);
        return true;
    });
    if (!stopped)
        index.KeepTopNames(std::move(names));
}

// Pass 5: the 32-bit file of every type library version and locale. The win32 entry names the file
// as a 32-bit program reaches it.
void CheckTypeLibraryFiles(CRegistryScanner& engine, CServerFiles& files)
{
    const RegKey typeLibRoot = OpenKey(HKEY_CLASSES_ROOT, "TypeLib", KEY_READ);
    if (!typeLibRoot)
        return;
    std::string place;
    std::string raw;
    std::string win32;
    WalkSubkeys(typeLibRoot.get(), kShortNameChars, [&](const char* library) {
        if (engine.StopRequested())
            return false;
        place.assign(kClassesRoot).append("TypeLib\\").append(library).append("\\");
        engine.SendPath(place);
        const RegKey libraryKey = OpenKey(typeLibRoot.get(), library, KEY_READ);
        if (!libraryKey)
            return true;
        const size_t libraryEnd = place.size();
        WalkSubkeys(libraryKey.get(), kShortNameChars, [&](const char* version) {
            place.resize(libraryEnd);
            place.append(version).append("\\");
            engine.SendPath(place);
            const RegKey versionKey = OpenKey(libraryKey.get(), version, KEY_READ);
            if (!versionKey)
                return true;
            const size_t versionEnd = place.size();
            WalkSubkeys(versionKey.get(), kShortNameChars, [&](const char* locale) {
                place.resize(versionEnd);
                place.append(locale).append("\\win32");
                engine.SendPath(place);
                win32.assign(locale).append("\\win32");
                const RegKey key = OpenKey(versionKey.get(), win32.c_str(), KEY_READ);
                if (!key || !ReadValueText(key.get(), "", kDataBytes, raw))
                    return true;
                const std::string path = CServerFiles::Resolve(raw, false);
                if (IsDrivePath(path) && !files.Present(raw, false, true))
                    Report(engine, place, "(Default)", path, RPT_COM_ACTIVEX);
                return true;
            });
            return true;
        });
        return true;
    });
}

// What one registry view says of the in-process server of a class.
enum SERVER_STATE {
    SS_NOT_REGISTERED, // the view does not hold the class
    SS_WORKING,        // it does, and no missing server file is named (or it cannot be told)
    SS_BROKEN,         // its InprocServer32 names a drive path whose file is missing
};

SERVER_STATE InprocServerState(CServerFiles& files, const std::string& clsidPlace, bool view32, std::string& raw)
{
    if (KeyIsMissing(HKEY_CLASSES_ROOT, clsidPlace.c_str()))
        return SS_NOT_REGISTERED;
    const RegKey server = OpenKey(HKEY_CLASSES_ROOT, (clsidPlace + "\\InprocServer32").c_str());
    if (!server || !ReadValueText(server.get(), "", kDataBytes, raw))
        return SS_WORKING;
    if (!IsDrivePath(CServerFiles::Resolve(raw, true)) || files.Present(raw, true, view32))
        return SS_WORKING;
    return SS_BROKEN;
}

// Whether the index tells for certain that the identifier name has no class reference to check, or
// that its class has a working in-process server in the native view (InprocServerState).
bool ServerCertainlyWorks(const CClassIndex& index, CServerFiles& files, const char* name)
{
    const CClassIndex::KNOWN& cls = index.NamedClass(name);
    if (cls.state == CClassIndex::KNOWN::NONE)
        return true;
    if (cls.state != CClassIndex::KNOWN::READ || !index.HasClass(cls.text))
        return false;
    const CClassIndex::KNOWN& server = index.ServerEntry(cls.text.c_str(), kInprocServer32);
    return server.state == CClassIndex::KNOWN::NONE ||
           (server.state == CClassIndex::KNOWN::READ &&
            (!IsDrivePath(CServerFiles::Resolve(server.text, true)) || files.Present(server.text, true, false)));
}

// The walk over programmatic identifiers shared by the invalid class key and type library checks;
// the two differ only in which in-process servers they look at. The identifier is shared by both
// registry views: its class reference is broken only when no view that holds the class has a
// working server (the native view's server decides the category when both are broken). One walk
// serves both: the check of first runs it, and the type libraries' findings, when that category is
// selected and comes later, are kept for its own turn.
void CheckProgIdServers(CRegistryScanner& engine, REGPROBLEM_TYPE first)
{
    const bool keepTypeLibs = first == RPT_CLASS_KEYS && engine.IsCategorySelected(RPT_TYPE_LIBS);
    if (keepTypeLibs)
        engine.KeepFindings(RPT_TYPE_LIBS, 0);
    CServerFiles files;
    std::string place;
    std::string cls;
    std::string raw;
    std::string brokenRaw;
    const CClassIndex* const index = engine.ClassIndex();
    const auto visit = [&](const char* name) {
        if (engine.StopRequested())
            return false;
        if (name[0] == '.')
            return true;
        if (index && ServerCertainlyWorks(*index, files, name)) {
            place.assign(name).append("\\CLSID");
            engine.SendPath(place);
            return true;
        }
        const RegKey progId = OpenKey(HKEY_CLASSES_ROOT, name);
        if (!progId)
            return true;
        place.assign(name).append("\\CLSID");
        engine.SendPath(place);
        const RegKey clsidKey = OpenKey(progId.get(), "CLSID");
        if (!clsidKey || !ReadValueText(clsidKey.get(), "", kDataBytes, cls))
            return true;
        const std::string clsidPlace = "CLSID\\" + cls;
        bool broken = false;
        for (const bool view32 : {false, true}) {
            switch (InprocServerState(files, view32 ? kWow64View + clsidPlace : clsidPlace, view32, raw)) {
            case SS_WORKING:
                return true;
            case SS_BROKEN:
                if (!broken)
                    brokenRaw = raw;
                broken = true;
                break;
            case SS_NOT_REGISTERED:
                break;
            }
        }
        if (!broken)
            return true;
        // Libraries named with a lower-case ".dll" are class servers; the rest are left to the
        // type library check; a server named ".dll" alone is neither.
        const char* dll = strstr(brokenRaw.c_str(), ".dll");
        if (dll == brokenRaw.c_str())
            return true;
        const REGPROBLEM_TYPE type = dll ? RPT_CLASS_KEYS : RPT_TYPE_LIBS;
        if (type == first || keepTypeLibs)
            Report(engine, kClassesRoot + place, "(Default)", cls, type);
        return true;
    };
    // The kept findings count only when the walk ended as it should: after a failure on the way the
    // type library check walks again in its own turn.
    try {
        ForEachTopName(index, HKEY_CLASSES_ROOT, visit);
    } catch (...) {
        if (keepTypeLibs)
            engine.EndKeeping(RPT_TYPE_LIBS, false);
        throw;
    }
    if (keepTypeLibs)
        engine.EndKeeping(RPT_TYPE_LIBS, true);
}

} // namespace

void CheckComActiveX(CRegistryScanner& engine)
{
    // The whole-tree walk of a later category reads the machine's classes as well: it runs now, and
    // tells the passes what it read, so that they open again only what may be a finding.
    auto index = std::make_unique<CClassIndex>();
    if (engine.IsCategorySelected(RPT_FILE_PATHS) || engine.IsCategorySelected(RPT_DEEP_SCAN)) {
        CClassIndex::CFiller filler(*index);
        RunTreeChecks(engine, RPT_COM_ACTIVEX, &filler);
        index->ReadUserClasses();
    }
    CServerFiles files;
    std::vector<std::string> classes;
    CheckServerFiles(engine, files.Files(), *index, classes);
    CheckClassAppIds(engine, *index, classes);
    CheckApplicationAppIds(engine);
    CheckClassReferences(engine, *index);
    CheckTypeLibraryFiles(engine, files);
    // The file associations and the identifiers' checks come later and read the same classes.
    if (engine.IsCategorySelected(RPT_FILE_ASSOC) || engine.IsCategorySelected(RPT_CLASS_KEYS) ||
        engine.IsCategorySelected(RPT_TYPE_LIBS))
        engine.KeepClassIndex(std::move(index));
}

void CheckClassKeys(CRegistryScanner& engine)
{
    CheckProgIdServers(engine, RPT_CLASS_KEYS);
}

void CheckTypeLibraries(CRegistryScanner& engine)
{
    CheckProgIdServers(engine, RPT_TYPE_LIBS);
}
