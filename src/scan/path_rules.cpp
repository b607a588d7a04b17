#include "scan/path_rules.h"

#include <algorithm>
#include <cstring>

#include "framework/ascii.h"

std::string FitPathBuffer(std::string text)
{
    if (text.size() >= kPathBuffer)
        text.resize(kPathBuffer - 1);
    return text;
}

std::string ExtractCommandTarget(const std::string& text)
{
    std::string target;
    if (text.find("Folder:") != std::string::npos) {
        target = text.substr(text.find(':') + 1);
    } else if (text.find("regsvr32") != std::string::npos) {
        // The characters of the word are stripped, not the word itself.
        const size_t first = text.find_first_not_of("regsv32");
        target = first == std::string::npos ? std::string() : text.substr(first);
        const size_t quote = target.find('"');
        if (quote != std::string::npos)
            target.erase(0, quote + 1);
    } else {
        return FitPathBuffer(text);
    }
    while (!target.empty() && target.back() == '"')
        target.pop_back();
    const size_t start = target.find_first_not_of('"');
    target.erase(0, start == std::string::npos ? target.size() : start);
    return FitPathBuffer(target);
}

std::string CutAtFileExtension(const std::string& text)
{
    const size_t start = text.find_first_not_of('"');
    std::string cut = start == std::string::npos ? std::string() : text.substr(start);
    const size_t quote = cut.find('"');
    if (quote != std::string::npos)
        cut.resize(quote);

    const std::string upper = UpperAscii(cut);
    size_t end = std::string::npos;
    for (const char* ext : {".EXE", ".DLL", ".OCX"}) {
        const size_t at = upper.find(ext);
        if (at != std::string::npos)
            end = std::min(end, at + 4);
    }
    if (end != std::string::npos)
        cut.resize(end);
    return cut;
}

std::string RestoreNameTail(const std::string& raw, const std::string& extracted, const std::string& normalized)
{
    const size_t slash = extracted.rfind('\\');
    const std::string tail = slash == std::string::npos ? extracted : extracted.substr(slash);
    const size_t at = raw.find(tail);
    if (at == std::string::npos)
        return FitPathBuffer(normalized);
    const size_t p = at + tail.size();
    if (p >= raw.size() || raw[p] == '"' || raw[p] == ' ')
        return FitPathBuffer(normalized);
    size_t end = raw.find(' ', p);
    if (end == std::string::npos)
        end = raw.find('"', p);
    if (end == std::string::npos)
        end = raw.size();
    return FitPathBuffer(normalized + raw.substr(p, end - p));
}

std::vector<std::string> CommandLineCandidates(const std::string& text)
{
    std::vector<std::string> out;
    const size_t start = !text.empty() && text[0] == '"' ? 1 : 0;
    size_t end = text.size();

    // A trailing "\N" resource index after an .exe or .dll is not part of the path.
    const size_t b = text.rfind('\\');
    if (b != std::string::npos && b >= 3 && b <= end) {
        const std::string before = text.substr(b - 3, 3);
        if (before == "exe" || before == "dll")
            end = b;
    }
    for (char stop : {';', '"', ','}) {
        const size_t at = text.find(stop, start + 1);
        if (at != std::string::npos && at > 0 && at <= end)
            end = at;
    }

    size_t cursor = start;
    while (cursor < end) {
        const size_t space = text.find(' ', cursor + 1);
        cursor = space == std::string::npos || space > end ? end : space;
        out.push_back(text.substr(start, cursor - start));
    }
    return out;
}

namespace {

// text has prefix at position at, without regard to ASCII case.
bool HasAt(const std::string& text, size_t at, const std::string& prefix)
{
    return at <= text.size() && StartsWithAsciiNoCase(std::string_view(text).substr(at), prefix);
}

} // namespace

std::string Win32PathFromNtPath(const std::string& path)
{
    // A leading quote stays where it was: command lines quote their program.
    const size_t at = !path.empty() && path[0] == '"' ? 1 : 0;
    if (path.compare(at, 4, "\\??\\") != 0)
        return path;
    const std::string quote = path.substr(0, at);
    const std::string name = path.substr(at + 4);
    const bool drive = name.size() >= 3 && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')) &&
                       name[1] == ':' && name[2] == '\\';
    if (drive)
        return quote + name;
    if (HasAt(name, 0, "UNC\\"))
        return quote + "\\\\" + name.substr(4);
    return quote + "\\\\?\\" + name;
}

bool IsInstallerKeyPath(const std::string& text)
{
    return text.size() >= 4 && (text[0] == '0' || text[0] == '2') && text[1] >= '0' && text[1] <= '4' &&
           text[2] == ':' && text[3] == '\\';
}

bool IsWow64KeyPath(const std::string& keyPath)
{
    static const std::string node = "\\Wow6432Node";
    for (size_t at = keyPath.find('\\'); at != std::string::npos; at = keyPath.find('\\', at + 1))
        if (HasAt(keyPath, at, node) && (at + node.size() == keyPath.size() || keyPath[at + node.size()] == '\\'))
            return true;
    return false;
}

std::string X86FolderReferences(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        bool replaced = false;
        for (const char* name : {"%ProgramFiles%", "%CommonProgramFiles%"}) {
            const std::string reference = name;
            if (HasAt(text, i, reference)) {
                out.append(text, i, reference.size() - 1).append("(x86)%");
                i += reference.size() - 1;
                replaced = true;
                break;
            }
        }
        if (!replaced)
            out += text[i];
    }
    return out;
}

std::string Path32BitView(const std::string& path, const std::string& windowsFolder)
{
    std::string base = windowsFolder;
    if (!base.empty() && base.back() == '\\')
        base.pop_back();
    if (base.empty() || !HasAt(path, 0, base + "\\"))
        return path;
    const size_t folderStart = base.size() + 1;
    const size_t folderEnd = std::min(path.find('\\', folderStart), path.size());
    const std::string folder = path.substr(folderStart, folderEnd - folderStart);
    const std::string rest = path.substr(folderEnd);
    if (HasAt(folder, 0, "Sysnative") && folder.size() == 9)
        return base + "\\System32" + rest;
    if (!HasAt(folder, 0, "System32") || folder.size() != 8)
        return path;
    for (const char* kept : {"\\catroot", "\\catroot2", "\\driverstore", "\\drivers\\etc", "\\logfiles", "\\spool"}) {
        const std::string exempt = kept;
        if (HasAt(rest, 0, exempt) && (rest.size() == exempt.size() || rest[exempt.size()] == '\\'))
            return path;
    }
    return base + "\\SysWOW64" + rest;
}
