#include "controls/memdc.h"

CMemDC::CMemDC(HDC target, const RECT* area) : m_hTarget(target), m_hDC(target)
{
    if (area)
        m_rect = *area;
    else
        GetClipBox(target, &m_rect);
    if (GetDeviceCaps(target, TECHNOLOGY) == DT_RASPRINTER)
        return;
    m_memory.reset(CreateCompatibleDC(target));
    m_bitmap.reset(CreateCompatibleBitmap(target, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top));
    if (!m_memory || !m_bitmap) {
        m_memory.reset();
        return;
    }
    m_hDC = m_memory.get();
    m_hOldBitmap = SelectObject(m_hDC, m_bitmap.get());
    SetMapMode(m_hDC, GetMapMode(target));
    SIZE extent{};
    GetWindowExtEx(target, &extent);
    SetWindowExtEx(m_hDC, extent.cx, extent.cy, nullptr);
    GetViewportExtEx(target, &extent);
    SetViewportExtEx(m_hDC, extent.cx, extent.cy, nullptr);
    SetWindowOrgEx(m_hDC, m_rect.left, m_rect.top, nullptr);
    const COLORREF background = GetBkColor(target);
    SetBkColor(m_hDC, background);
    ExtTextOutA(m_hDC, 0, 0, ETO_OPAQUE, &m_rect, nullptr, 0, nullptr);
}

CMemDC::~CMemDC()
{
    if (!m_memory)
        return;
    BitBlt(m_hTarget, m_rect.left, m_rect.top, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top, m_hDC,
           m_rect.left, m_rect.top, SRCCOPY);
    SelectObject(m_hDC, m_hOldBitmap);
}
