#include "gui_driver.h"

#include <commctrl.h>
#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <vector>

#include "framework/gdi.h"
#include "framework/handles.h"
#include "framework/paths.h"
#include "framework/wide_text.h"

namespace gui {

bool WaitFor(const std::function<bool()>& condition, DWORD timeout)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start > timeout)
            return false;
        Sleep(50);
    }
}

namespace {

struct ProcessWindowSearch {
    DWORD pid;
    const std::function<bool(HWND)>& match;
    HWND found = nullptr;
};

BOOL CALLBACK FindMatchingWindow(HWND wnd, LPARAM param)
{
    auto* search = reinterpret_cast<ProcessWindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(wnd, &owner);
    if (owner == search->pid && IsWindowVisible(wnd) && search->match(wnd)) {
        search->found = wnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND FindProcessWindow(DWORD pid, const std::function<bool(HWND)>& match)
{
    ProcessWindowSearch search{pid, match};
    EnumWindows(FindMatchingWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(const std::string& title, DWORD timeout, const char* className)
{
    HWND found = nullptr;
    WaitFor(
        [&] {
            found = FindWindowA(className, title.c_str());
            return found && IsWindowVisible(found);
        },
        timeout);
    return found && IsWindowVisible(found) ? found : nullptr;
}

namespace {

struct ControlSearch {
    int id;
    HWND found = nullptr;
};

BOOL CALLBACK FindVisibleControl(HWND wnd, LPARAM param)
{
    auto* search = reinterpret_cast<ControlSearch*>(param);
    if (GetDlgCtrlID(wnd) == search->id && IsWindowVisible(wnd)) {
        search->found = wnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND FindControl(HWND top, int id, DWORD timeout)
{
    ControlSearch search{id};
    WaitFor(
        [&] {
            // The window's own control comes first: pages reuse the IDs of the main window's tabs.
            HWND own = GetDlgItem(top, id);
            if (own && IsWindowVisible(own))
                search.found = own;
            else
                EnumChildWindows(top, FindVisibleControl, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeout);
    return search.found;
}

std::string Text(HWND wnd)
{
    std::vector<char> buffer(65536);
    const LRESULT length = SendMessageA(wnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    return std::string(buffer.data(), static_cast<size_t>(length > 0 ? length : 0));
}

bool WaitForText(HWND top, int id, const std::string& text, DWORD timeout)
{
    return WaitFor(
        [&] {
            HWND control = FindControl(top, id, 0);
            return control && Text(control) == text;
        },
        timeout);
}

bool Click(HWND top, int id)
{
    HWND button = FindControl(top, id);
    return button && PostMessageA(button, BM_CLICK, 0, 0);
}

bool ClickButton(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    return button && PostMessageA(button, BM_CLICK, 0, 0);
}

bool IsChecked(HWND top, int id)
{
    HWND box = FindControl(top, id);
    return box && SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool SetChecked(HWND top, int id, bool checked)
{
    HWND box = FindControl(top, id);
    if (!box)
        return false;
    if ((SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED) != checked)
        SendMessageA(box, BM_CLICK, 0, 0);
    return (SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED) == checked;
}

bool IsEnabled(HWND top, int id)
{
    HWND control = FindControl(top, id);
    return control && IsWindowEnabled(control);
}

void ClickAt(HWND wnd, int x, int y)
{
    const LPARAM point = MAKELPARAM(x, y);
    SendMessageA(wnd, WM_MOUSEMOVE, 0, point);
    SendMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageA(wnd, WM_LBUTTONUP, 0, point);
}

void DoubleClickAt(HWND wnd, int x, int y)
{
    ClickAt(wnd, x, y);
    const LPARAM point = MAKELPARAM(x, y);
    SendMessageA(wnd, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
    SendMessageA(wnd, WM_LBUTTONUP, 0, point);
}

void MoveTo(HWND wnd, int x, int y)
{
    // The pointer goes there too, so that the system's own mouse messages agree with ours.
    POINT screen{x, y};
    ClientToScreen(wnd, &screen);
    SetCursorPos(screen.x, screen.y);
    SendMessageA(wnd, WM_MOUSEMOVE, 0, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
}

void KeyPress(HWND wnd, UINT key)
{
    SendMessageA(wnd, WM_KEYDOWN, key, 1);
    SendMessageA(wnd, WM_KEYUP, key, 0xC0000001);
}

bool Activate(HWND top)
{
    SetForegroundWindow(top);
    return WaitFor([&] { return GetForegroundWindow() == top; });
}

void Type(UINT key, UINT modifiers)
{
    std::vector<INPUT> strokes;
    const auto stroke = [&](UINT vk, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = static_cast<WORD>(vk);
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        strokes.push_back(input);
    };
    if (modifiers & MOD_ALT)
        stroke(VK_MENU, false);
    if (modifiers & MOD_SHIFT)
        stroke(VK_SHIFT, false);
    stroke(key, false);
    stroke(key, true);
    if (modifiers & MOD_SHIFT)
        stroke(VK_SHIFT, true);
    if (modifiers & MOD_ALT)
        stroke(VK_MENU, true);
    SendInput(static_cast<UINT>(strokes.size()), strokes.data(), sizeof(INPUT));
}

HWND Focus(HWND top)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

bool WaitForFocus(HWND top, int id, DWORD timeout)
{
    return WaitFor(
        [&] {
            HWND focus = Focus(top);
            return focus && focus == FindControl(top, id, 0);
        },
        timeout);
}

void Wheel(HWND wnd, int delta)
{
    RECT box{};
    GetWindowRect(wnd, &box);
    SendMessageA(wnd, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(delta))),
                 MAKELPARAM((box.left + box.right) / 2, (box.top + box.bottom) / 2));
}

namespace {

// Memory in the process that owns a window, for messages whose parameters point to records.
class RemoteBlock {
public:
    RemoteBlock(HWND wnd, size_t size) : m_size(size)
    {
        DWORD pid = 0;
        GetWindowThreadProcessId(wnd, &pid);
        m_process.reset(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
        if (m_process)
            m_p = VirtualAllocEx(m_process.get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteBlock()
    {
        if (m_p)
            VirtualFreeEx(m_process.get(), m_p, 0, MEM_RELEASE);
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;

    void* get() const { return m_p; }
    bool Write(const void* data, size_t size, size_t offset = 0) const
    {
        return m_p && offset + size <= m_size &&
               WriteProcessMemory(m_process.get(), static_cast<char*>(m_p) + offset, data, size, nullptr);
    }
    bool Read(void* data, size_t size, size_t offset = 0) const
    {
        return m_p && offset + size <= m_size &&
               ReadProcessMemory(m_process.get(), static_cast<char*>(m_p) + offset, data, size, nullptr);
    }

private:
    KernelHandle m_process;
    void* m_p = nullptr;
    size_t m_size;
};

bool SetItemState(HWND list, int row, UINT state, UINT mask)
{
    RemoteBlock block(list, sizeof(LVITEMA));
    LVITEMA item{};
    item.stateMask = mask;
    item.state = state;
    return block.Write(&item, sizeof item) &&
           SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(block.get()));
}

} // namespace

int ListCount(HWND list)
{
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

std::string ListText(HWND list, int row, int column)
{
    constexpr size_t kTextSize = 4096;
    RemoteBlock block(list, sizeof(LVITEMA) + kTextSize);
    LVITEMA item{};
    item.iSubItem = column;
    item.cchTextMax = kTextSize;
    item.pszText = reinterpret_cast<char*>(static_cast<char*>(block.get()) + sizeof(LVITEMA));
    if (!block.Write(&item, sizeof item))
        return {};
    const LRESULT length =
        SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(block.get()));
    std::vector<char> text(kTextSize);
    if (length <= 0 || !block.Read(text.data(), kTextSize, sizeof(LVITEMA)))
        return {};
    return std::string(text.data(), static_cast<size_t>(length));
}

bool ListChecked(HWND list, int row)
{
    const auto state = static_cast<UINT>(SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK));
    return (state >> 12) == 2;
}

bool ListSetChecked(HWND list, int row, bool checked)
{
    return SetItemState(list, row, INDEXTOSTATEIMAGEMASK(checked ? 2 : 1), LVIS_STATEIMAGEMASK) &&
           ListChecked(list, row) == checked;
}

bool ListSelect(HWND list, int row, bool selected)
{
    return SetItemState(list, row, selected ? LVIS_SELECTED | LVIS_FOCUSED : 0, LVIS_SELECTED | LVIS_FOCUSED);
}

std::vector<std::string> ListBoxLines(HWND list)
{
    // Asked in wide characters: Wine hands list box texts across processes as UTF-16 either way.
    std::vector<std::string> lines;
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT row = 0; row < count; ++row) {
        const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
        if (length < 0)
            break;
        std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(wide.data()));
        lines.push_back(Narrow(wide.c_str()));
    }
    return lines;
}

namespace {

struct MessageBoxSearch {
    std::string caption;
    HWND found = nullptr;
};

BOOL CALLBACK FindMessageBox(HWND wnd, LPARAM param)
{
    auto* search = reinterpret_cast<MessageBoxSearch*>(param);
    char className[64] = {};
    GetClassNameA(wnd, className, sizeof className);
    // The main window is a dialog titled like the program's message boxes.
    if (lstrcmpA(className, "#32770") == 0 && IsWindowVisible(wnd) && Text(wnd) == search->caption &&
        !GetPropA(wnd, "HivoraMainWindow")) {
        search->found = wnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindMessageBoxNow(const std::string& caption)
{
    MessageBoxSearch search{caption};
    EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The message text is the box's static control that holds the most text.
std::string MessageText(HWND box)
{
    std::string best;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[64] = {};
        GetClassNameA(child, className, sizeof className);
        if (lstrcmpiA(className, "Static") == 0) {
            const std::string text = Text(child);
            if (text.size() > best.size())
                best = text;
        }
    }
    return best;
}

} // namespace

bool AnswerMessageBox(const std::string& caption, int buttonId, std::string* text, DWORD timeout)
{
    HWND box = nullptr;
    if (!WaitFor([&] { return (box = FindMessageBoxNow(caption)) != nullptr; }, timeout))
        return false;
    if (text)
        *text = MessageText(box);
    // The box is gone before the answer counts, so that the next search cannot find it again.
    return ClickButton(box, buttonId) && WaitFor([box] { return !IsWindow(box) || !IsWindowVisible(box); }, timeout);
}

std::string MessageBoxText(const std::string& caption)
{
    HWND box = FindMessageBoxNow(caption);
    return box ? MessageText(box) : std::string();
}

std::string ScreenshotFolder()
{
    return ProgramFolder() + "..\\..\\screenshots";
}

namespace {

void PutBigEndian(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
    PutBigEndian(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBigEndian(out, static_cast<uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
}

// An 8-bit RGB PNG of top-down BGRA pixels.
std::vector<uint8_t> EncodePng(const std::vector<uint8_t>& bgra, int width, int height)
{
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(height) * (1 + 3 * static_cast<size_t>(width)));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        const uint8_t* row = bgra.data() + static_cast<size_t>(y) * 4 * static_cast<size_t>(width);
        for (int x = 0; x < width; ++x) {
            raw.push_back(row[4 * x + 2]);
            raw.push_back(row[4 * x + 1]);
            raw.push_back(row[4 * x]);
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 6) != Z_OK)
        return {};
    packed.resize(packedSize);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutBigEndian(header, static_cast<uint32_t>(width));
    PutBigEndian(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", packed);
    PutChunk(png, "IEND", {});
    return png;
}

BOOL CALLBACK SettleWindow(HWND wnd, LPARAM)
{
    if (IsWindowVisible(wnd)) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(wnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored);
        RedrawWindow(wnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    return TRUE;
}

} // namespace

std::string SaveScreenshot(const std::string& name, HWND window)
{
    // Every window has handled what was sent to it and painted what was pending.
    EnumWindows(SettleWindow, 0);
    Sleep(300);
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT box{};
    if (window && GetWindowRect(window, &box))
        IntersectRect(&area, &area, &box);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return {};
    const WindowDC screen(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    const GdiBitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const MemoryDC memory(CreateCompatibleDC(screen.get()));
    if (!screen.get() || !bitmap || !memory || !bits)
        return {};
    {
        SelectScope select(memory.get(), bitmap.get());
        if (!BitBlt(memory.get(), 0, 0, width, height, screen.get(), area.left, area.top, SRCCOPY | CAPTUREBLT))
            return {};
        GdiFlush();
    }
    const auto* start = static_cast<const uint8_t*>(bits);
    const std::vector<uint8_t> png =
        EncodePng(std::vector<uint8_t>(start, start + static_cast<size_t>(width) * static_cast<size_t>(height) * 4),
                  width, height);
    CreateDirectoryA(ScreenshotFolder().c_str(), nullptr);
    const std::string path = ScreenshotFolder() + "\\" + name + ".png";
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    return !png.empty() && file.good() ? path : std::string();
}

} // namespace gui
