#include "scan/checks.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "framework/handles.h"
#include "scan/class_index.h"
#include "scan/file_presence.h"
#include "scan/path_rules.h"
#include "scan/scanner.h"
#include "scan/walk.h"

namespace {

constexpr REGSAM kWalkAccess = KEY_READ | KEY_WRITE;
constexpr char kAppsKey[] = "AppEvents\\Schemes\\Apps";

void Report(CRegistryScanner& engine, std::string key, std::string data, REGPROBLEM_TYPE type)
{
    engine.ReportProblem(std::make_unique<CRegistryProblem>(std::move(key), "(Default)", std::move(data), type, 0));
}

// The key's default value as text, read into a 1023-byte buffer; false when it cannot be read.
bool ReadDefaultValue(HKEY key, std::string& text)
{
    char data[kPathBuffer - 1];
    DWORD size = sizeof data;
    if (QueryValue(key, "", nullptr, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
        return false;
    text.assign(data, strnlen(data, size));
    return true;
}

bool ReadDefaultValue(HKEY parent, const std::string& subkey, std::string& text)
{
    RegKey key;
    return RegOpenKeyExA(parent, subkey.c_str(), 0, kWalkAccess, key.put()) == ERROR_SUCCESS &&
           ReadDefaultValue(key.get(), text);
}

// A program named by drive path that is neither on the search path nor at its path. Names
// without a drive letter are never taken as missing.
bool IsProgramMissing(CFilePresence& files, const std::string& text)
{
    std::string extracted = ExtractCommandTarget(text);
    const std::string normalized = NormalizeFilePath(extracted);
    const std::string path = RestoreNameTail(text, extracted, normalized);
    return path.size() >= 2 && path[1] == ':' && !files.ReferenceExists(path);
}

// Whether the index tells for certain that the extension names no file type with an open command
// whose program is missing.
bool AssociationCertainlyWorks(const CClassIndex& index, CFilePresence& files, const char* extension)
{
    const CClassIndex::KNOWN& type = index.ExtensionType(extension);
    if (type.state == CClassIndex::KNOWN::NONE || (type.state == CClassIndex::KNOWN::READ && type.text.empty()))
        return true;
    if (type.state != CClassIndex::KNOWN::READ || type.text.find('\\') != std::string::npos)
        return false;
    const CClassIndex::KNOWN& command = index.OpenCommand(type.text.c_str());
    return command.state == CClassIndex::KNOWN::NONE ||
           (command.state == CClassIndex::KNOWN::READ && !IsProgramMissing(files, command.text));
}

} // namespace

void CheckFileAssociations(CRegistryScanner& engine)
{
    RegKey classes;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "", 0, kWalkAccess, classes.put()) != ERROR_SUCCESS)
        return;
    CFilePresence files;
    // What the shared walk read of the classes, when one did.
    const CClassIndex* const classIndex = engine.ClassIndex();
    std::string fileType;
    std::string command;
    std::string commandKey;
    ForEachTopName(classIndex, classes.get(), [&](const char* extension) {
        if (extension[0] == '.' && !(classIndex && AssociationCertainlyWorks(*classIndex, files, extension)) &&
            ReadDefaultValue(classes.get(), extension, fileType) && !fileType.empty()) {
            commandKey = fileType + "\\shell\\open\\command";
            engine.SendPath(commandKey + "\\");
            if (ReadDefaultValue(classes.get(), commandKey, command) && IsProgramMissing(files, command))
                Report(engine, std::string("HKEY_CLASSES_ROOT\\") + extension, fileType, RPT_FILE_ASSOC);
        }
        return !engine.StopRequested();
    });
}

void CheckSoundEvents(CRegistryScanner& engine)
{
    RegKey apps;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kAppsKey, 0, kWalkAccess, apps.put()) != ERROR_SUCCESS)
        return;
    CFilePresence files;
    char app[299];
    char event[299];
    std::string sound;
    for (DWORD a = 0;; ++a) {
        const LONG appRc = EnumKeyName(apps.get(), a, app, sizeof app);
        if (appRc != ERROR_SUCCESS && appRc != ERROR_NO_UNICODE_TRANSLATION)
            break;
        RegKey appKey;
        if (appRc == ERROR_SUCCESS && RegOpenKeyExA(apps.get(), app, 0, kWalkAccess, appKey.put()) == ERROR_SUCCESS) {
            for (DWORD v = 0;; ++v) {
                const LONG eventRc = EnumKeyName(appKey.get(), v, event, sizeof event);
                if (eventRc != ERROR_SUCCESS && eventRc != ERROR_NO_UNICODE_TRANSLATION)
                    break;
                for (const char* scheme : {".Current", ".Default"}) {
                    if (eventRc != ERROR_SUCCESS ||
                        !ReadDefaultValue(appKey.get(), std::string(event) + "\\" + scheme, sound))
                        continue;
                    engine.SendPath(sound);
                    if (IsProgramMissing(files, sound))
                        Report(engine, std::string("HKEY_CURRENT_USER\\") + kAppsKey + "\\" + app + "\\" + event, sound,
                               RPT_SOUND_EVENTS);
                }
                if (engine.StopRequested())
                    break;
            }
        }
        if (engine.StopRequested())
            break;
    }
}
