// Fills the registry and the C: drive of the current Wine prefix with a large, realistic machine for
// the scan benchmark: installed products with their files, tens of thousands of COM classes,
// programmatic identifiers, file types, uninstall entries, shared DLLs, fonts and vendor trees
// under HKLM\SOFTWARE and HKEY_USERS. A few percent of everything is stale: it names files of
// products that were removed, or keys that are gone.
//
//   hv_bench_generate [STATS-FILE [DIVISOR]]
//
// Runs once per prefix; the figures of what was written go to STATS-FILE as "name value" lines.
// DIVISOR (default 1) divides the numbers of classes, identifiers, file types, entries and vendor
// keys, for a smaller machine that is quicker to build and scan.

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "framework/ascii.h"
#include "framework/format.h"
#include "framework/handles.h"
#include "framework/wide_text.h"

namespace {

constexpr double kStaleShare = 0.05;

const char* const kVendors[] = {"Contoso",   "Fabrikam",  "Northwind", "Tailspin", "Litware",  "Adatum",
                                "Wingtip",   "Proseware", "Lucerne",   "Woodgrove", "Coho",    "Humongous",
                                "Relecloud", "Trey",      "Alpine",    "Margie"};
const char* const kProducts[] = {"Studio", "Viewer", "Editor",  "Sync",     "Designer", "Capture", "Monitor",
                                 "Reader", "Notes",  "Sketch",  "Ledger",   "Mailer",   "Scanner", "Archive",
                                 "Convert", "Planner", "Tuner", "Composer", "Imaging",  "Courier"};
const char* const kClassWords[] = {"Document", "Control", "Renderer", "Parser", "Factory", "Provider",
                                   "Handler",  "Filter",  "Codec",    "Shape",  "Palette", "Channel"};

struct Product {
    std::string vendor, name, folder; // folder without trailing backslash
    bool removed = false;             // uninstalled: no folder, no files
    std::string File(const char* suffix) const { return folder + "\\" + LowerAscii(name) + suffix; }
};

// The files every installed product has.
const char* const kProductFiles[] = {".exe", "core.dll", "ui.dll", "ctl.ocx", ".tlb", ".hlp", ".chm", ".wav", "uninst.exe"};

class Generator {
public:
    explicit Generator(int divisor) : m_rng(20261207), m_nDivisor(divisor > 1 ? divisor : 1) {}

    int Run(const char* statsPath);

private:
    std::mt19937 m_rng;
    int m_nDivisor;
    std::vector<Product> m_products;      // installed ones first, then removed ones
    size_t m_nInstalled = 0;
    std::vector<std::string> m_clsids;    // generated classes, orphaned ones included
    std::vector<std::string> m_sharedFiles;
    std::string m_profile, m_documents, m_programs, m_desktop;
    long long m_nKeys = 0, m_nValues = 0, m_nFiles = 0, m_nStale = 0, m_nEmptyKeys = 0, m_nShortcuts = 0;

    // How many of a kind this machine gets: n of the full machine, divided.
    int Count(int n) const { return n / m_nDivisor > 0 ? n / m_nDivisor : 1; }
    bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(m_rng) < p; }
    size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(m_rng); }
    bool Stale()
    {
        const bool stale = Chance(kStaleShare);
        m_nStale += stale;
        return stale;
    }
    std::string Guid()
    {
        std::uniform_int_distribution<unsigned> d(0, 0xFFFF);
        unsigned g3;
        do
            g3 = d(m_rng);
        while (g3 == 0x11D3); // keeps clear of a fragment the exclusion list suppresses
        return Format("{%04X%04X-%04X-%04X-%04X-%04X%04X%04X}", d(m_rng), d(m_rng), d(m_rng), g3, d(m_rng),
                      d(m_rng), d(m_rng), d(m_rng));
    }
    const Product& Installed() { return m_products[Pick(m_nInstalled)]; }
    const Product& Removed() { return m_products[m_nInstalled + Pick(m_products.size() - m_nInstalled)]; }
    // The product a reference names: a removed one for the stale share.
    const Product& Owner(bool stale) { return stale ? Removed() : Installed(); }

    RegKey Create(HKEY root, const std::string& path)
    {
        RegKey key;
        if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) ==
            ERROR_SUCCESS)
            ++m_nKeys;
        else
            std::fprintf(stderr, "cannot create %s\n", path.c_str());
        return key;
    }
    void Str(HKEY key, const char* name, const std::string& data, DWORD type = REG_SZ)
    {
        if (key && RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                                  static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS)
            ++m_nValues;
    }
    void Dword(HKEY key, const char* name, DWORD value)
    {
        if (key && RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
                       ERROR_SUCCESS)
            ++m_nValues;
    }
    void Binary(HKEY key, const char* name, size_t size)
    {
        std::string bytes(size, '\0');
        for (char& b : bytes)
            b = static_cast<char>(Pick(256));
        if (key && RegSetValueExA(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.data()),
                                  static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS)
            ++m_nValues;
    }
    void MakeFile(const std::string& path)
    {
        FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
        if (file)
            ++m_nFiles;
        else
            std::fprintf(stderr, "cannot create file %s\n", path.c_str());
    }
    static void MakeFolders(const std::string& folder)
    {
        for (size_t p = folder.find('\\', 3); ; p = folder.find('\\', p + 1)) {
            CreateDirectoryA(folder.substr(0, p).c_str(), nullptr);
            if (p == std::string::npos)
                break;
        }
    }

    void Products();
    void Files();
    void Classes();
    void ProgIds();
    void TypeLibs();
    void FileTypes();
    void Uninstall();
    void SharedDlls();
    void Fonts();
    void AppPathsAndHelp();
    void Startup();
    void Sounds();
    void VendorTrees();
    void Shortcuts();
    void Shortcut(const std::string& lnk, const std::string& target);
};

void Generator::Products()
{
    char folder[MAX_PATH];
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, folder)))
        lstrcpyA(folder, "C:\\Program Files");
    // 80 installed products and 16 removed ones, four and one per vendor.
    for (int removed = 0; removed < 2; ++removed)
        for (size_t v = 0; v < std::size(kVendors); ++v)
            for (int k = 0; k < (removed ? 1 : 5); ++k) {
                Product p;
                p.vendor = kVendors[v];
                p.name = kProducts[(v * 5 + k + removed * 7) % std::size(kProducts)];
                if (removed)
                    p.name += "Classic";
                p.folder = Format("%s\\%s\\%s", folder, p.vendor.c_str(), p.name.c_str());
                p.removed = removed != 0;
                m_products.push_back(p);
            }
    m_nInstalled = std::size(kVendors) * 5;
}

void Generator::Files()
{
    for (size_t i = 0; i < m_nInstalled; ++i) {
        MakeFolders(m_products[i].folder);
        for (const char* suffix : kProductFiles)
            MakeFile(m_products[i].File(suffix));
    }
    char common[MAX_PATH];
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES_COMMON, nullptr, 0, common)))
        lstrcpyA(common, "C:\\Program Files\\Common Files");
    // Shared libraries: one value per file, so each needs a file of its own.
    for (int i = 0; i < Count(2000); ++i) {
        const std::string dir = Format("%s\\%s", common, kVendors[i % std::size(kVendors)]);
        if (i < static_cast<int>(std::size(kVendors)))
            MakeFolders(dir);
        const std::string path = Format("%s\\shlib%04d.dll", dir.c_str(), i);
        m_sharedFiles.push_back(path);
        if (!Stale())
            MakeFile(path);
    }

    char path[MAX_PATH];
    SHGetFolderPathA(nullptr, CSIDL_PROFILE, nullptr, 0, path);
    m_profile = path;
    SHGetFolderPathA(nullptr, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, nullptr, 0, path);
    m_documents = path;
    SHGetFolderPathA(nullptr, CSIDL_PROGRAMS | CSIDL_FLAG_CREATE, nullptr, 0, path);
    m_programs = path;
    SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY | CSIDL_FLAG_CREATE, nullptr, 0, path);
    m_desktop = path;
    // Documents the recent-file lists name; the stale share of the lists names deleted ones.
    for (int i = 0; i < 200; ++i)
        MakeFile(Format("%s\\report%03d.txt", m_documents.c_str(), i));
    // A nested folder tree in the profile, so the shortcut walk has folders to descend.
    for (int i = 0; i < 40; ++i) {
        const std::string dir = Format("%s\\Projects\\%s\\draft%02d", m_documents.c_str(), kVendors[i % 16], i);
        MakeFolders(dir);
        for (int j = 0; j < 5; ++j)
            MakeFile(Format("%s\\page%d.txt", dir.c_str(), j));
    }
}

// COM classes: server, icon, sometimes an application identifier and a programmatic identifier.
void Generator::Classes()
{
    const char* const threading[] = {"Apartment", "Both", "Free"};
    std::vector<std::string> appIds;
    for (int i = 0; i < Count(40000); ++i) {
        const bool orphan = Stale();
        const Product& p = Owner(orphan);
        const std::string clsid = Guid();
        m_clsids.push_back(clsid);
        RegKey key = Create(HKEY_CLASSES_ROOT, "CLSID\\" + clsid);
        Str(key.get(), "", Format("%s %s %s Class", p.vendor.c_str(), p.name.c_str(), kClassWords[i % 12]));
        const bool local = Chance(0.15);
        if (local) {
            RegKey server = Create(key.get(), "LocalServer32");
            Str(server.get(), "", Chance(0.5) ? "\"" + p.File(".exe") + "\" /automation" : p.File(".exe") + " -Embedding");
        } else {
            RegKey server = Create(key.get(), "InprocServer32");
            const size_t form = Pick(10);
            std::string dll = p.File(form == 0 ? "ctl.ocx" : i % 2 ? "core.dll" : "ui.dll");
            if (form == 1) // upper-case extension, as old installers wrote it
                dll.replace(dll.size() - 4, 4, ".DLL");
            if (form == 2)
                dll = "\"" + dll + "\"";
            Str(server.get(), "", dll);
            Str(server.get(), "ThreadingModel", threading[Pick(3)]);
        }
        RegKey icon = Create(key.get(), "DefaultIcon");
        Str(icon.get(), "", Chance(0.5) ? p.File(".exe") + Format(",%d", static_cast<int>(Pick(8)))
                                       : "\"" + p.File("ui.dll") + Format("\",-%d", 100 + static_cast<int>(Pick(50))));
        if (Chance(0.3)) {
            RegKey progId = Create(key.get(), "ProgID");
            Str(progId.get(), "", Format("%s.%s%s.1", p.vendor.c_str(), p.name.c_str(), kClassWords[i % 12]));
        }
        if (Chance(0.1)) {
            // Application identifiers: most exist, the stale share was removed with its product.
            const bool missing = Stale();
            const std::string appId = missing || appIds.empty() || Chance(0.3) ? Guid() : appIds[Pick(appIds.size())];
            Str(key.get(), "AppID", appId);
            if (!missing && (appIds.empty() || appIds.back() != appId)) {
                RegKey app = Create(HKEY_CLASSES_ROOT, "AppID\\" + appId);
                Str(app.get(), "", p.vendor + " " + p.name);
                appIds.push_back(appId);
            }
        }
    }
    // Applications registered by program name, pointing at their identifier.
    for (int i = 0; i < Count(500); ++i) {
        const Product& p = Installed();
        RegKey app = Create(HKEY_CLASSES_ROOT, Format("AppID\\%s%d.exe", LowerAscii(p.name).c_str(), i));
        Str(app.get(), "AppID", Stale() ? Guid() : appIds[Pick(appIds.size())]);
    }
}

// Programmatic identifiers: versioned ones with their class, and version-independent ones.
void Generator::ProgIds()
{
    for (int i = 0; i < Count(15000); ++i) {
        const std::string clsid = Stale() ? Guid() : m_clsids[Pick(m_clsids.size())];
        const char* vendor = kVendors[i % 16];
        const char* product = kProducts[(i / 16) % 20];
        const char* word = kClassWords[(i / 320) % 12];
        const bool independent = i % 3 == 2;
        const std::string name = independent ? Format("%s.%s%s%d", vendor, product, word, i)
                                             : Format("%s.%s%s%d.%d", vendor, product, word, i, 1 + i % 4);
        RegKey key = Create(HKEY_CLASSES_ROOT, name);
        Str(key.get(), "", Format("%s %s %s", vendor, product, word));
        RegKey cls = Create(key.get(), "CLSID");
        Str(cls.get(), "", clsid);
        if (independent) {
            RegKey cur = Create(key.get(), "CurVer");
            Str(cur.get(), "", name + ".1");
        }
    }
}

void Generator::TypeLibs()
{
    for (int i = 0; i < Count(2000); ++i) {
        const std::string lib = Guid();
        for (int v = 0, versions = Chance(0.1) ? 2 : 1; v < versions; ++v) {
            const bool stale = Stale();
            const Product& p = Owner(stale);
            const std::string base = Format("TypeLib\\%s\\%d.%d", lib.c_str(), 1 + v, static_cast<int>(Pick(3)));
            RegKey ver = Create(HKEY_CLASSES_ROOT, base);
            Str(ver.get(), "", p.vendor + " " + p.name + " Type Library");
            RegKey win32 = Create(ver.get(), "0\\win32");
            Str(win32.get(), "", Chance(0.5) ? p.File(".tlb") : p.File("core.dll"));
            RegKey flags = Create(ver.get(), "FLAGS");
            Str(flags.get(), "", "0");
            RegKey help = Create(ver.get(), "HELPDIR");
            Str(help.get(), "", p.folder);
        }
    }
}

// File extensions with their file types and open commands.
void Generator::FileTypes()
{
    std::vector<std::string> types;
    for (int i = 0; i < Count(3000); ++i) {
        const bool stale = Stale();
        const Product& p = Owner(stale);
        const std::string type = Format("%s.%s.z%04d", p.vendor.c_str(), p.name.c_str(), i);
        RegKey key = Create(HKEY_CLASSES_ROOT, type);
        Str(key.get(), "", p.name + " File");
        RegKey icon = Create(key.get(), "DefaultIcon");
        Str(icon.get(), "", p.File(".exe") + ",1");
        RegKey open = Create(key.get(), "shell\\open\\command");
        const size_t form = Pick(3);
        Str(open.get(), "", form == 0   ? "\"" + p.File(".exe") + "\" \"%1\""
                            : form == 1 ? p.File(".exe") + " /open \"%1\""
                                        : "\"" + p.File(".exe") + "\" /dde");
        types.push_back(type);
    }
    for (int i = 0; i < Count(5000); ++i) {
        RegKey ext = Create(HKEY_CLASSES_ROOT, Format(".z%04d", i));
        Str(ext.get(), "", types[static_cast<size_t>(i) < types.size() ? static_cast<size_t>(i) : Pick(types.size())]);
        Str(ext.get(), "Content Type", Format("application/x-z%04d", i));
        if (Chance(0.2)) {
            RegKey with = Create(ext.get(), "OpenWithProgids");
            Str(with.get(), types[Pick(types.size())].c_str(), "", REG_NONE);
        }
    }
}

void Generator::Uninstall()
{
    const std::string root = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    for (int i = 0; i < Count(3000); ++i) {
        const bool stale = Stale();
        const Product& p = Owner(stale);
        const bool msi = Chance(0.35);
        const std::string code = Guid();
        RegKey key = Create(HKEY_LOCAL_MACHINE, root + (msi ? code : Format("%s%s_%d", p.vendor.c_str(), p.name.c_str(), i)));
        Str(key.get(), "DisplayName", Format("%s %s %d", p.vendor.c_str(), p.name.c_str(), 2000 + i % 25));
        Str(key.get(), "DisplayVersion", Format("%d.%d.%d", 1 + i % 9, i % 10, i));
        Str(key.get(), "Publisher", p.vendor + " Corporation");
        Str(key.get(), "InstallLocation", p.folder + "\\");
        Str(key.get(), "DisplayIcon", p.File(".exe"));
        Str(key.get(), "UninstallString", msi ? "MsiExec.exe /X" + code
                                              : Chance(0.5) ? "\"" + p.File("uninst.exe") + "\" /S" : p.File("uninst.exe"));
        Dword(key.get(), "EstimatedSize", static_cast<DWORD>(1000 + Pick(500000)));
        Dword(key.get(), "NoModify", 1);
    }
}

void Generator::SharedDlls()
{
    RegKey key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs");
    for (const std::string& path : m_sharedFiles)
        Dword(key.get(), path.c_str(), static_cast<DWORD>(1 + Pick(6)));
}

void Generator::Fonts()
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string folder = std::string(windows) + "\\Fonts";
    CreateDirectoryA(folder.c_str(), nullptr);
    RegKey key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts");
    const char* const styles[] = {"", " Bold", " Italic", " Bold Italic"};
    for (int i = 0; i < Count(1000); ++i) {
        const std::string file = Format("bnf%03d%c.ttf", i / 4, "rbiz"[i % 4]);
        if (!Stale())
            MakeFile(folder + "\\" + file);
        Str(key.get(), Format("%s Sans %03d%s (TrueType)", kVendors[i % 16], i / 4, styles[i % 4]).c_str(), file);
    }
}

void Generator::AppPathsAndHelp()
{
    for (int i = 0; i < Count(400); ++i) {
        const Product& p = Owner(Stale());
        RegKey key = Create(HKEY_LOCAL_MACHINE, Format("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\%s%d.exe",
                                                       LowerAscii(p.name).c_str(), i));
        Str(key.get(), "", Chance(0.2) ? "\"" + p.File(".exe") + "\"" : p.File(".exe"));
        Str(key.get(), "Path", p.folder);
    }
    RegKey help = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\HELP");
    RegKey html = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\HTML Help");
    for (size_t i = 0; i < m_products.size(); ++i) {
        const Product& p = m_products[i];
        const std::string file = LowerAscii(p.name);
        Str(help.get(), (file + ".hlp").c_str(), i % 2 ? p.folder + "\\" : p.folder);
        Str(html.get(), (file + ".chm").c_str(), p.folder);
        m_nStale += p.removed ? 2 : 0;
    }
}

void Generator::Startup()
{
    RegKey machine = Create(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    RegKey user = Create(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    for (int i = 0; i < 24; ++i) {
        const Product& p = Owner(Stale());
        Str(i % 2 ? machine.get() : user.get(), Format("%s%s", p.vendor.c_str(), p.name.c_str()).c_str(),
            "\"" + p.File(".exe") + "\" /tray");
    }
    // Start-menu order lists: one subkey per programs folder, the stale share without its folder.
    for (const char* list : {"Start Menu", "Start Menu2"}) {
        for (size_t v = 0; v < std::size(kVendors); ++v) {
            const std::string name = kVendors[v];
            MakeFolders(m_programs + "\\" + name);
            RegKey key = Create(HKEY_CURRENT_USER, Format("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\%s\\Programs\\%s",
                                                          list, name.c_str()));
            Binary(key.get(), "Order", 64);
        }
        for (int i = 0; i < 3; ++i) {
            RegKey key = Create(HKEY_CURRENT_USER, Format("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\%s\\Programs\\Gone Tools %d",
                                                          list, i));
            Binary(key.get(), "Order", 64);
            ++m_nStale;
        }
    }
}

void Generator::Sounds()
{
    const char* const events[] = {"Open", "Close", "Notify", "Complete", "Error", "Alert", "Start", "Stop", "Sync", "Done"};
    for (size_t i = 0; i < m_products.size(); ++i) {
        const Product& p = m_products[i];
        for (const char* event : events) {
            const std::string base = Format("AppEvents\\Schemes\\Apps\\%s%s\\%s", p.vendor.c_str(), p.name.c_str(), event);
            RegKey cur = Create(HKEY_CURRENT_USER, base + "\\.Current");
            Str(cur.get(), "", p.File(".wav"));
            RegKey def = Create(HKEY_CURRENT_USER, base + "\\.Default");
            Str(def.get(), "", p.File(".wav"));
            m_nStale += p.removed ? 2 : 0;
        }
    }
}

// Vendor settings under HKLM\SOFTWARE and the user's key: components with their files, settings,
// recent-file lists, window places, plug-ins, and cache keys left empty.
void Generator::VendorTrees()
{
    for (size_t i = 0; i < m_products.size(); ++i) {
        const Product& p = m_products[i];
        const std::string base = Format("SOFTWARE\\%s\\%s", p.vendor.c_str(), p.name.c_str());
        RegKey product = Create(HKEY_LOCAL_MACHINE, base);
        Str(product.get(), "InstallDir", p.folder);
        Str(product.get(), "Program", p.File(".exe"));
        Str(product.get(), "Version", "5.2.1");
        Dword(product.get(), "Language", 1033);
        for (int c = 0; c < Count(120); ++c) {
            const bool stale = !p.removed && Stale();
            RegKey comp = Create(product.get(), Format("5.2\\Components\\%s", Guid().c_str()));
            Str(comp.get(), "Name", Format("%s component %d", p.name.c_str(), c));
            Str(comp.get(), "Path", stale ? p.folder + Format("\\plugin%03d.dll", c) : p.File(c % 2 ? "core.dll" : "ui.dll"));
            Dword(comp.get(), "Size", static_cast<DWORD>(Pick(1 << 20)));
            Binary(comp.get(), "Hash", 20);
            RegKey files = Create(comp.get(), "Files");
            Str(files.get(), "Main", p.File(".exe"));
            Str(files.get(), "Library", stale ? p.folder + Format("\\extra%03d.dll", c) : p.File("core.dll"));
            Str(files.get(), "Help", p.File(".chm"));
            Str(files.get(), "Note", "Installed by setup");
        }

        const std::string user = Format("Software\\%s\\%s", p.vendor.c_str(), p.name.c_str());
        RegKey settings = Create(HKEY_CURRENT_USER, user + "\\Settings");
        for (int s = 0; s < Count(40); ++s) {
            if (s % 3 == 0)
                Dword(settings.get(), Format("Option%02d", s).c_str(), static_cast<DWORD>(Pick(100)));
            else if (s % 3 == 1)
                Str(settings.get(), Format("Text%02d", s).c_str(), Format("value %d of %s", s, p.name.c_str()));
            else
                Str(settings.get(), Format("Folder%02d", s).c_str(), m_documents);
        }
        RegKey recent = Create(HKEY_CURRENT_USER, user + "\\Recent File List");
        for (int r = 1; r <= 10; ++r) {
            const bool stale = Stale();
            Str(recent.get(), Format("File%d", r).c_str(),
                Format("%s\\%s%03d.txt", m_documents.c_str(), stale ? "deleted" : "report", static_cast<int>(Pick(200))));
        }
        for (int w = 0; w < Count(60); ++w) {
            RegKey win = Create(HKEY_CURRENT_USER, Format("%s\\Windows\\Pane%02d", user.c_str(), w));
            for (const char* name : {"Left", "Top", "Width", "Height", "Visible"})
                Dword(win.get(), name, static_cast<DWORD>(Pick(1600)));
            Str(win.get(), "Title", Format("Pane %d", w));
        }
        for (int g = 0; g < Count(30); ++g) {
            const bool stale = p.removed || Stale();
            RegKey plug = Create(HKEY_CURRENT_USER, Format("%s\\Plugins\\Plugin%02d", user.c_str(), g));
            Str(plug.get(), "Path", stale ? p.folder + Format("\\plug%02d.dll", g) : p.File("ctl.ocx"));
            Dword(plug.get(), "Enabled", 1);
            RegKey opts = Create(plug.get(), "Options");
            Str(opts.get(), "Template", p.File(".tlb"));
            Str(opts.get(), "Mode", "auto");
            Dword(opts.get(), "Level", 3);
        }
        // Cache folders that were emptied but never removed.
        if (Chance(0.5))
            for (int c = 0; c < 12; ++c) {
                Create(HKEY_CURRENT_USER, Format("%s\\Cache\\Slot%02d", user.c_str(), c));
                ++m_nEmptyKeys;
            }
    }
}

void Generator::Shortcut(const std::string& lnk, const std::string& target)
{
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return;
    IPersistFile* file = nullptr;
    link->SetPath(target.c_str());
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        if (SUCCEEDED(file->Save(Widen(lnk).c_str(), TRUE)))
            ++m_nShortcuts;
        file->Release();
    }
    link->Release();
}

void Generator::Shortcuts()
{
    if (FAILED(CoInitialize(nullptr)))
        return;
    for (const Product& p : m_products) {
        // A removed product's shortcut is left behind, pointing at its missing program.
        Shortcut(Format("%s\\%s\\%s.lnk", m_programs.c_str(), p.vendor.c_str(), p.name.c_str()), p.File(".exe"));
        Shortcut(Format("%s\\%s\\%s Help.lnk", m_programs.c_str(), p.vendor.c_str(), p.name.c_str()), p.File(".chm"));
        m_nStale += p.removed ? 2 : 0;
    }
    for (int i = 0; i < 30; ++i) {
        const Product& p = Installed();
        Shortcut(Format("%s\\%s %s %d.lnk", m_desktop.c_str(), p.vendor.c_str(), p.name.c_str(), i), p.File(".exe"));
    }
    CoUninitialize();
}

int Generator::Run(const char* statsPath)
{
    const DWORD started = GetTickCount();
    Products();
    Files();
    Classes();
    ProgIds();
    TypeLibs();
    FileTypes();
    Uninstall();
    SharedDlls();
    Fonts();
    AppPathsAndHelp();
    Startup();
    Sounds();
    VendorTrees();
    Shortcuts();
    // The scan must not repair what it finds.
    RegKey settings = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Hivora");
    Str(settings.get(), "repairafterfind", "0");

    const double seconds = (GetTickCount() - started) / 1000.0;
    const std::string stats =
        Format("keys %lld\nvalues %lld\nfiles %lld\nstale %lld\nemptykeys %lld\nshortcuts %lld\nclsids %zu\n"
               "products %zu\nremoved %zu\nseconds %.1f\n",
               m_nKeys, m_nValues, m_nFiles, m_nStale, m_nEmptyKeys, m_nShortcuts, m_clsids.size(), m_nInstalled,
               m_products.size() - m_nInstalled, seconds);
    std::fputs(stats.c_str(), stdout);
    if (statsPath) {
        FILE* out = std::fopen(statsPath, "w");
        if (!out)
            return 1;
        std::fputs(stats.c_str(), out);
        std::fclose(out);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    return Generator(argc > 2 ? std::atoi(argv[2]) : 1).Run(argc > 1 ? argv[1] : nullptr);
}
