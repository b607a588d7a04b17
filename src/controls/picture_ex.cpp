#include "controls/picture_ex.h"

#include <cstring>

#include "controls/gif_blocks.h"
#include "framework/files.h"

namespace {

struct GlobalTraits {
    using Type = HGLOBAL;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { GlobalFree(h); }
};
using GlobalMemory = UniqueHandle<GlobalTraits>;

constexpr DWORD kStopWait = 5000;
// The system colour brush of COLOR_MENU, which the surface starts out filled with.
const HBRUSH kSurfaceBrush = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));

// GlobalLock for a scope.
class GlobalLockScope {
public:
    explicit GlobalLockScope(HGLOBAL block) : m_hBlock(block), m_pData(static_cast<uint8_t*>(GlobalLock(block))) {}
    ~GlobalLockScope() { Unlock(); }
    GlobalLockScope(const GlobalLockScope&) = delete;
    GlobalLockScope& operator=(const GlobalLockScope&) = delete;
    const uint8_t* data() const { return m_pData; }
    void Unlock()
    {
        if (m_pData)
            GlobalUnlock(m_hBlock);
        m_pData = nullptr;
    }

private:
    HGLOBAL m_hBlock;
    uint8_t* m_pData;
};

} // namespace

CPictureEx::CPictureEx() : m_hExitEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

CPictureEx::~CPictureEx()
{
    Unload();
}

bool CPictureEx::Load(const std::string& path)
{
    const FileHandle file = OpenFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (!file)
        return false;
    const DWORD size = GetFileSize(file.get(), nullptr);
    if (size == INVALID_FILE_SIZE || size == 0)
        return false;
    GlobalMemory block(GlobalAlloc(GMEM_MOVEABLE, size));
    if (!block)
        return false;
    {
        void* data = GlobalLock(block.get());
        if (!data)
            return false;
        DWORD read = 0;
        const bool ok = ReadFile(file.get(), data, size, &read, nullptr) && read == size;
        GlobalUnlock(block.get());
        if (!ok)
            return false;
    }
    return Load(block.get(), size);
}

ComPtr<IPicture> CPictureEx::LoadPicture(HGLOBAL block, DWORD size, bool streamOwnsBlock)
{
    IStream* rawStream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(block, streamOwnsBlock, &rawStream)) || !rawStream) {
        if (streamOwnsBlock)
            GlobalFree(block);
        return {};
    }
    ComPtr<IStream> stream(rawStream);
    void* picture = nullptr;
    if (FAILED(OleLoadPicture(stream.get(), static_cast<LONG>(size), FALSE, IID_IPicture, &picture)) || !picture)
        return {};
    return ComPtr<IPicture>(static_cast<IPicture*>(picture));
}

bool CPictureEx::Load(HGLOBAL block, DWORD size)
{
    Unload();
    if (!block || size == 0)
        return false;
    GlobalLockScope lock(block);
    const uint8_t* data = lock.data();
    if (!data)
        return false;

    bool still = !IsGifData(data, size);
    GIF_SCREEN screen;
    std::vector<GIF_FRAME_SPAN> spans;
    if (!still) {
        if (!ReadGifScreen(data, size, screen))
            return false;
        m_bIsGIF = true;
        m_nGlobalColourTableSize = screen.nGlobalColourTableSize;
        m_size = {screen.nWidth, screen.nHeight};
        spans = FindGifFrames(data, size, screen);
        if (spans.empty()) {
            Unload();
            return false;
        }
        still = spans.size() == 1;
    }

    if (still) {
        lock.Unlock();
        m_pPicture = LoadPicture(block, size, false);
        if (!m_pPicture) {
            Unload();
            return false;
        }
        OLE_XSIZE_HIMETRIC width = 0;
        OLE_YSIZE_HIMETRIC height = 0;
        m_pPicture->get_Width(&width);
        m_pPicture->get_Height(&height);
        WindowDC dc(m_hWnd);
        m_size.cx = MulDiv(width, GetDeviceCaps(dc.get(), LOGPIXELSX), 2540);
        m_size.cy = MulDiv(height, GetDeviceCaps(dc.get(), LOGPIXELSY), 2540);
    } else {
        for (const GIF_FRAME_SPAN& span : spans) {
            const std::vector<uint8_t> gif = BuildFrameGif(data, screen, span);
            HGLOBAL frameBlock = GlobalAlloc(GMEM_FIXED, gif.size());
            if (!frameBlock)
                continue;
            std::memcpy(frameBlock, gif.data(), gif.size());
            FRAME frame;
            frame.pPicture = LoadPicture(frameBlock, static_cast<DWORD>(gif.size()), true);
            if (!frame.pPicture)
                continue;
            frame.nWidth = span.nWidth;
            frame.nHeight = span.nHeight;
            frame.nLeft = span.nLeft;
            frame.nTop = span.nTop;
            frame.nDelay = span.nDelay;
            frame.nDisposal = span.nDisposal;
            m_frames.push_back(std::move(frame));
        }
        if (m_frames.empty()) {
            Unload();
            return false;
        }
    }
    if (!PrepareSurface()) {
        Unload();
        return false;
    }
    return true;
}

bool CPictureEx::PrepareSurface()
{
    if (m_size.cx <= 0 || m_size.cy <= 0)
        return false;
    if (m_hWnd)
        SetWindowPos(m_hWnd, nullptr, 0, 0, m_size.cx, m_size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    WindowDC dc(m_hWnd);
    m_surfaceDC.reset(CreateCompatibleDC(dc.get()));
    m_surfaceBitmap.reset(CreateCompatibleBitmap(dc.get(), m_size.cx, m_size.cy));
    if (!m_surfaceDC || !m_surfaceBitmap)
        return false;
    m_hOldSurfaceBitmap = SelectObject(m_surfaceDC.get(), m_surfaceBitmap.get());
    m_clrBackground = GetSysColor(COLOR_BTNFACE);
    const RECT all{0, 0, m_size.cx, m_size.cy};
    FillRect(m_surfaceDC.get(), &all, kSurfaceBrush);
    m_bSurfaceReady = true;
    return true;
}

bool CPictureEx::Draw()
{
    if (!m_bSurfaceReady)
        return false;
    if (m_frames.size() > 1) {
        if (!m_pThread) {
            m_bExitThread = false;
            m_bIsPlaying = true;
            m_pThread = AfxBeginThread(ThreadProc, this);
            if (!m_pThread)
                m_bIsPlaying = false;
        }
        return false;
    }
    if (!m_pPicture)
        return false;
    RenderPicture(m_pPicture.get(), m_surfaceDC.get(), 0, 0, m_size.cx, m_size.cy);
    Repaint();
    return true;
}

void CPictureEx::Stop()
{
    if (!m_pThread)
        return;
    m_bExitThread = true;
    SetEvent(m_hExitEvent.get());
    m_pThread->Wait(kStopWait);
    m_pThread.reset();
    ResetEvent(m_hExitEvent.get());
    m_bExitThread = false;
}

void CPictureEx::Unload()
{
    Stop();
    m_pPicture.reset();
    m_frames.clear();
    if (m_savedDC && m_hOldSavedBitmap)
        SelectObject(m_savedDC.get(), m_hOldSavedBitmap);
    m_savedDC.reset();
    m_savedBitmap.reset();
    m_hOldSavedBitmap = nullptr;
    if (m_surfaceDC && m_hOldSurfaceBitmap)
        SelectObject(m_surfaceDC.get(), m_hOldSurfaceBitmap);
    m_surfaceDC.reset();
    m_surfaceBitmap.reset();
    m_hOldSurfaceBitmap = nullptr;
    m_bSurfaceReady = false;
    m_bIsGIF = false;
    m_nGlobalColourTableSize = 0;
    m_nCurrFrame = 0;
    m_clrBackground = RGB(255, 255, 255);
    m_size = {};
}

void CPictureEx::RenderPicture(IPicture* picture, HDC dc, int x, int y, int width, int height)
{
    OLE_XSIZE_HIMETRIC hmWidth = 0;
    OLE_YSIZE_HIMETRIC hmHeight = 0;
    picture->get_Width(&hmWidth);
    picture->get_Height(&hmHeight);
    picture->Render(dc, x, y, width, height, 0, hmHeight, hmWidth, -hmHeight, nullptr);
}

void CPictureEx::Repaint() const
{
    if (m_hWnd)
        InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CPictureEx::FillBackground(const RECT& area)
{
    GdiBrush brush(CreateSolidBrush(m_clrBackground));
    FillRect(m_surfaceDC.get(), &area, brush.get());
}

void CPictureEx::ApplyDisposal(const FRAME& frame)
{
    const RECT area{frame.nLeft, frame.nTop, frame.nLeft + frame.nWidth, frame.nTop + frame.nHeight};
    if (frame.nDisposal == 2) {
        FillBackground(area);
    } else if (frame.nDisposal == 3 && m_savedDC) {
        BitBlt(m_surfaceDC.get(), frame.nLeft, frame.nTop, frame.nWidth, frame.nHeight, m_savedDC.get(), 0, 0,
               SRCCOPY);
        SelectObject(m_savedDC.get(), m_hOldSavedBitmap);
        m_savedDC.reset();
        m_savedBitmap.reset();
        m_hOldSavedBitmap = nullptr;
    }
}

UINT CPictureEx::ThreadProc(void* param)
{
    static_cast<CPictureEx*>(param)->Animate();
    return 0;
}

void CPictureEx::Animate()
{
    ApplyDisposal(m_frames[m_nCurrFrame]);
    while (!m_bExitThread) {
        for (size_t i = 0; i < m_frames.size(); ++i) {
            m_nCurrFrame = static_cast<int>(i);
            const FRAME& frame = m_frames[i];
            if (frame.pPicture) {
                if (frame.nDisposal == 3) {
                    m_savedDC.reset(CreateCompatibleDC(m_surfaceDC.get()));
                    m_savedBitmap.reset(CreateCompatibleBitmap(m_surfaceDC.get(), frame.nWidth, frame.nHeight));
                    if (m_savedDC && m_savedBitmap) {
                        m_hOldSavedBitmap = SelectObject(m_savedDC.get(), m_savedBitmap.get());
                        BitBlt(m_savedDC.get(), 0, 0, frame.nWidth, frame.nHeight, m_surfaceDC.get(), frame.nLeft,
                               frame.nTop, SRCCOPY);
                    } else {
                        m_savedDC.reset();
                        m_savedBitmap.reset();
                    }
                }
                RenderPicture(frame.pPicture.get(), m_surfaceDC.get(), frame.nLeft, frame.nTop, frame.nWidth,
                              frame.nHeight);
                Repaint();
            }
            WaitForSingleObject(m_hExitEvent.get(), GifFrameWait(frame.nDelay));
            if (m_bExitThread)
                break;
            ApplyDisposal(frame);
        }
        if (m_bExitThread)
            break;
        FillBackground({0, 0, m_size.cx, m_size.cy});
    }
    m_bIsPlaying = false;
}

LRESULT CPictureEx::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT:
        if (m_bSurfaceReady) {
            PaintDC paint(m_hWnd);
            BitBlt(paint.get(), 0, 0, m_size.cx, m_size.cy, m_surfaceDC.get(), 0, 0, SRCCOPY);
            return 0;
        }
        break;
    case WM_DESTROY:
        Stop();
        break;
    default:
        break;
    }
    return Default(msg, wParam, lParam);
}
