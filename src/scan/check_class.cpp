#include "scan/checks.h"

#include <cstring>

#include "scan/file_presence.h"
#include "scan/path_rules.h"
#include "scan/scanner.h"
#include "scan/walk.h"

namespace {

const char kClassesRoot[] = "HKEY_CLASSES_ROOT\\";

// The server and icon entries of a class whose default value names a file.
const char* const kServerEntries[] = {
    "InprocServer32",  "InprocServer",  "LocalServer32",     "LocalServer",
    "InprocHandler32", "InprocHandler", "PersistentHandler", "DefaultIcon",
};

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

// Pass 1: the server files named under each class identifier.
void CheckServerFiles(CRegistryScanner& engine, CFilePresence& files)
{
    const RegKey clsidRoot = OpenKey(HKEY_CLASSES_ROOT, "CLSID");
    if (!clsidRoot)
        return;
    std::string place;
    std::string raw;
    WalkSubkeys(clsidRoot.get(), kShortNameChars, [&](const char* cls) {
        if (engine.StopRequested())
            return false;
        place.assign("CLSID\\");
        const size_t below = place.size();
        for (const char* entry : kServerEntries) {
            place.resize(below);
            place.append(cls).append("\\").append(entry);
            engine.SendPath(place);
            const RegKey key = OpenKey(clsidRoot.get(), place.c_str() + below);
            if (!key || !ReadValueText(key.get(), "", kShortDataBytes, raw))
                continue;
            std::string extracted = ExtractCommandTarget(raw);
            std::string path = NormalizeFilePath(extracted);
            if (!IsDrivePath(path) || files.OnSearchPath(path))
                continue;
            // An icon index or other argument after a comma is not part of the file name.
            const size_t comma = path.find(',');
            if (comma != std::string::npos)
                path.resize(comma);
            if (!files.Exists(path))
                Report(engine, kClassesRoot + place, "(Default)", path, RPT_COM_ACTIVEX);
        }
        return true;
    });
}

// Pass 2: the application identifier a class names must be registered.
void CheckClassAppIds(CRegistryScanner& engine)
{
    const RegKey clsidRoot = OpenKey(HKEY_CLASSES_ROOT, "CLSID");
    if (!clsidRoot)
        return;
    std::string appId;
    std::string place;
    WalkSubkeys(clsidRoot.get(), kShortNameChars, [&](const char* cls) {
        if (engine.StopRequested())
            return false;
        const RegKey key = OpenKey(clsidRoot.get(), cls);
        if (!key || !ReadValueText(key.get(), "AppID", kShortDataBytes, appId))
            return true;
        place.assign("AppID\\").append(appId);
        engine.SendPath(place);
        if (KeyIsMissing(HKEY_CLASSES_ROOT, place.c_str()))
            Report(engine, std::string(kClassesRoot).append("CLSID\\").append(cls), "AppID", appId, RPT_COM_ACTIVEX);
        return true;
    });
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
        if (KeyIsMissing(HKEY_CLASSES_ROOT, place.c_str()))
            Report(engine, std::string(kClassesRoot).append("AppID\\").append(name), "AppID", appId,
                   RPT_COM_ACTIVEX);
        return true;
    });
}

// Pass 4: every top-level name that refers to a class identifier must find it registered.
void CheckClassReferences(CRegistryScanner& engine)
{
    std::string cls;
    std::string place;
    std::string target;
    WalkSubkeys(HKEY_CLASSES_ROOT, kShortNameChars, [&](const char* name) {
        if (engine.StopRequested())
            return false;
        place.assign(name).append("\\CLSID");
        engine.SendPath(place);
        const RegKey key = OpenKey(HKEY_CLASSES_ROOT, place.c_str());
        if (!key || !ReadValueText(key.get(), "", kShortDataBytes, cls))
            return true;
        target.assign("CLSID\\").append(cls);
        engine.SendPath(target);
        if (KeyIsMissing(HKEY_CLASSES_ROOT, target.c_str()))
            Report(engine, kClassesRoot + place, "{Default}", cls, RPT_COM_ACTIVEX);
        return true;
    });
}

// Pass 5: the 32-bit file of every type library version and locale.
void CheckTypeLibraryFiles(CRegistryScanner& engine, CFilePresence& files)
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
                std::string extracted = ExtractCommandTarget(raw);
                const std::string path = NormalizeFilePath(extracted);
                if (IsDrivePath(path) && !files.ReferenceExists(path))
                    Report(engine, place, "(Default)", path, RPT_COM_ACTIVEX);
                return true;
            });
            return true;
        });
        return true;
    });
}

// The walk over programmatic identifiers shared by the invalid class key and type library checks;
// the two differ only in which in-process servers they look at.
void CheckProgIdServers(CRegistryScanner& engine, REGPROBLEM_TYPE type)
{
    CFilePresence files;
    std::string place;
    std::string cls;
    std::string serverKey;
    std::string raw;
    WalkSubkeys(HKEY_CLASSES_ROOT, kShortNameChars, [&](const char* name) {
        if (engine.StopRequested())
            return false;
        if (name[0] == '.')
            return true;
        const RegKey progId = OpenKey(HKEY_CLASSES_ROOT, name);
        if (!progId)
            return true;
        place.assign(name).append("\\CLSID");
        engine.SendPath(place);
        const RegKey clsidKey = OpenKey(progId.get(), "CLSID");
        if (!clsidKey || !ReadValueText(clsidKey.get(), "", kDataBytes, cls))
            return true;
        serverKey.assign("CLSID\\").append(cls).append("\\InprocServer32");
        const RegKey server = OpenKey(HKEY_CLASSES_ROOT, serverKey.c_str());
        if (!server || !ReadValueText(server.get(), "", kDataBytes, raw))
            return true;
        // Libraries named with a lower-case ".dll" are class servers; the rest are left to the
        // type library check.
        const char* dll = strstr(raw.c_str(), ".dll");
        if (type == RPT_CLASS_KEYS ? dll == nullptr || dll == raw.c_str() : dll != nullptr)
            return true;
        std::string extracted = ExtractCommandTarget(raw);
        const std::string normalized = NormalizeFilePath(extracted);
        const std::string path = RestoreNameTail(raw, extracted, normalized);
        if (IsDrivePath(path) && !files.ReferenceExists(path))
            Report(engine, kClassesRoot + place, "(Default)", cls, type);
        return true;
    });
}

} // namespace

void CheckComActiveX(CRegistryScanner& engine)
{
    CFilePresence files;
    CheckServerFiles(engine, files);
    CheckClassAppIds(engine);
    CheckApplicationAppIds(engine);
    CheckClassReferences(engine);
    CheckTypeLibraryFiles(engine, files);
}

void CheckClassKeys(CRegistryScanner& engine)
{
    CheckProgIdServers(engine, RPT_CLASS_KEYS);
}

void CheckTypeLibraries(CRegistryScanner& engine)
{
    CheckProgIdServers(engine, RPT_TYPE_LIBS);
}
