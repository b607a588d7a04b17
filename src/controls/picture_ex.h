#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "framework/com_ptr.h"
#include "framework/gdi.h"
#include "framework/thread.h"
#include "framework/window.h"

// A static control that shows a picture file and plays animated GIF files. Each GIF frame is cut
// out into a GIF of its own and decoded by the system's picture loader; an animation thread
// composes the frames on an off-screen surface, which the paint handler copies to the screen.
class CPictureEx : public CWindow {
public:
    CPictureEx();
    ~CPictureEx() override;

    bool Load(const std::string& path);
    bool Load(HGLOBAL block, DWORD size);
    // Starts an animation (false) or shows a still picture (true); false when nothing is loaded.
    bool Draw();
    void Stop();
    void Unload();

    bool IsGIF() const { return m_bIsGIF; }
    bool IsPlaying() const { return m_bIsPlaying; }
    SIZE GetSize() const { return m_size; }
    size_t GetFrameCount() const { return m_frames.size(); }
    int GetCurrentFrame() const { return m_nCurrFrame; }
    // The off-screen surface the control shows (null before a picture is loaded).
    HDC GetSurface() const { return m_surfaceDC.get(); }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    struct FRAME {
        ComPtr<IPicture> pPicture;
        int nWidth = 0;
        int nHeight = 0;
        int nLeft = 0;
        int nTop = 0;
        int32_t nDelay = -1;
        int nDisposal = 0;
    };

    static UINT ThreadProc(void* param);
    void Animate();
    void ApplyDisposal(const FRAME& frame);
    void FillBackground(const RECT& area);
    bool PrepareSurface();
    static ComPtr<IPicture> LoadPicture(HGLOBAL block, DWORD size, bool streamOwnsBlock);
    static void RenderPicture(IPicture* picture, HDC dc, int x, int y, int width, int height);
    void Repaint() const;

    size_t m_nGlobalColourTableSize = 0;
    SIZE m_size{};
    COLORREF m_clrBackground = RGB(255, 255, 255);
    bool m_bIsGIF = false;
    bool m_bSurfaceReady = false;
    std::atomic<bool> m_bIsPlaying{false};
    std::atomic<bool> m_bExitThread{false};
    ComPtr<IPicture> m_pPicture;
    std::vector<FRAME> m_frames;
    std::atomic<int> m_nCurrFrame{0};
    MemoryDC m_surfaceDC;
    GdiBitmap m_surfaceBitmap;
    HGDIOBJ m_hOldSurfaceBitmap = nullptr;
    MemoryDC m_savedDC;
    GdiBitmap m_savedBitmap;
    HGDIOBJ m_hOldSavedBitmap = nullptr;
    std::unique_ptr<CWinThread> m_pThread;
    KernelHandle m_hExitEvent;
};
