#include "controls/html_list_accessible.h"

#include "controls/html_list.h"
#include "framework/wide_text.h"

#include <utility>

namespace {

HRESULT Text(const std::string& text, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = SysAllocString(Widen(text).c_str());
    return *out ? S_OK : E_OUTOFMEMORY;
}

void SetLong(VARIANT* out, long value)
{
    VariantInit(out);
    out->vt = VT_I4;
    out->lVal = value;
}

} // namespace

CHTMLListAccessible::CHTMLListAccessible(CHTMLListCtrl& list, IAccessible* standard)
    : m_pList(&list), m_pStandard(standard)
{
}

CHTMLListAccessible::~CHTMLListAccessible()
{
    if (m_pStandard)
        m_pStandard->Release();
}

void CHTMLListAccessible::Disconnect()
{
    m_pList = nullptr;
    if (m_pStandard)
        std::exchange(m_pStandard, nullptr)->Release();
}

HRESULT CHTMLListAccessible::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IAccessible)) {
        *out = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG CHTMLListAccessible::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_nRefs));
}

ULONG CHTMLListAccessible::Release()
{
    const LONG refs = InterlockedDecrement(&m_nRefs);
    if (refs == 0)
        delete this;
    return static_cast<ULONG>(refs);
}

HRESULT CHTMLListAccessible::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT CHTMLListAccessible::GetTypeInfo(UINT, LCID, ITypeInfo**)
{
    return E_NOTIMPL;
}

HRESULT CHTMLListAccessible::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

HRESULT CHTMLListAccessible::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    return E_NOTIMPL;
}

bool CHTMLListAccessible::RowOf(const VARIANT& child, int& row) const
{
    if (child.vt != VT_I4)
        return false;
    if (child.lVal == CHILDID_SELF) {
        row = -1;
        return true;
    }
    const std::vector<int> rows = m_pList->VisibleRows();
    if (child.lVal < 1 || child.lVal > static_cast<long>(rows.size()))
        return false;
    row = rows[static_cast<size_t>(child.lVal - 1)];
    return true;
}

long CHTMLListAccessible::ChildIdOf(int row) const
{
    const std::vector<int> rows = m_pList->VisibleRows();
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i] == row)
            return static_cast<long>(i + 1);
    }
    return CHILDID_SELF;
}

HRESULT CHTMLListAccessible::Resolve(const VARIANT& child, int& row) const
{
    if (!m_pList || !m_pStandard)
        return RPC_E_DISCONNECTED;
    return RowOf(child, row) ? S_OK : E_INVALIDARG;
}

HRESULT CHTMLListAccessible::get_accParent(IDispatch** parent)
{
    if (!m_pStandard)
        return RPC_E_DISCONNECTED;
    return m_pStandard->get_accParent(parent);
}

HRESULT CHTMLListAccessible::get_accChildCount(long* count)
{
    if (!count)
        return E_POINTER;
    if (!m_pList)
        return RPC_E_DISCONNECTED;
    *count = static_cast<long>(m_pList->VisibleRows().size());
    return S_OK;
}

HRESULT CHTMLListAccessible::get_accChild(VARIANT child, IDispatch** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    int row = -1;
    if (const HRESULT hr = Resolve(child, row); hr != S_OK)
        return hr;
    // The rows are simple elements of the list, not objects of their own.
    return S_FALSE;
}

HRESULT CHTMLListAccessible::get_accName(VARIANT child, BSTR* name)
{
    int row = -1;
    if (const HRESULT hr = Resolve(child, row); hr != S_OK)
        return hr;
    return Text(row < 0 ? std::string("Scan results") : m_pList->AccessibleName(row), name);
}

HRESULT CHTMLListAccessible::get_accValue(VARIANT child, BSTR* value)
{
    if (value)
        *value = nullptr;
    int row = -1;
    if (const HRESULT hr = Resolve(child, row); hr != S_OK)
        return hr;
    return row < 0 ? m_pStandard->get_accValue(child, value) : DISP_E_MEMBERNOTFOUND;
}

HRESULT CHTMLListAccessible::get_accDescription(VARIANT child, BSTR* description)
{
    if (description)
        *description = nullptr;
    int row = -1;
    if (const HRESULT hr = Resolve(child, row); hr != S_OK)
        return hr;
    return row < 0 ? m_pStandard->get_accDescription(child, description) : S_FALSE;
}

HRESULT CHTMLListAccessible::get_accRole(VARIANT child, VARIANT* role)
{
    if (!role)
        return E_POINTER;
    int row = -1;
    if (const HRESULT hr = Resolve(child, row); hr != S_OK)
        return hr;
    const HTMLLIST_ITEM* item = m_pList->GetItem(row);
    SetLong(role, row < 0               ? ROLE_SYSTEM_OUTLINE
                  : item && item->nType == HTMLLIST_HEADER ? ROLE_SYSTEM_OUTLINEITEM
                                                           : ROLE_SYSTEM_CHECKBUTTON);
    return S_OK;
}

HRESULT CHTMLListAccessible::get_accState(VARIANT child, VARIANT* state)
{
    if (!state)
        return E_POINTER;
    int row = -1;
    if (const HRESULT hr = Resolve(child, row); hr != S_OK)
        return hr;
    if (row < 0)
        return m_pStandard->get_accState(child, state);
    const HTMLLIST_ITEM* item = m_pList->GetItem(row);
    long bits = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTABLE;
    if (item->nCheckState == 1)
        bits |= STATE_SYSTEM_CHECKED;
    else if (item->nCheckState == 2)
        bits |= STATE_SYSTEM_MIXED;
    if (item->nType == HTMLLIST_HEADER)
        bits |= item->bExpanded ? STATE_SYSTEM_EXPANDED : STATE_SYSTEM_COLLAPSED;
    if (row == m_pList->GetSelectedItem()) {
        bits |= STATE_SYSTEM_SELECTED;
        if (m_pList->HasFocus())
            bits |= STATE_SYSTEM_FOCUSED;
    }
    SetLong(state, bits);
    return S_OK;
}

HRESULT CHTMLListAccessible::get_accHelp(VARIANT child, BSTR* help)
{
    if (help)
        *help = nullptr;
    int row = -1;
    if (const HRESULT hr = Resolve(child, row); hr != S_OK)
        return hr;
    return S_FALSE;
}

HRESULT CHTMLListAccessible::get_accHelpTopic(BSTR* file, VARIANT child, long* topic)
{
    if (file)
        *file = nullptr;
    if (topic)
        *topic = 0;
    int row = -1;
    if (const HRESULT hr = Resolve(child, row); hr != S_OK)
        return hr;
    return S_FALSE;
}

HRESULT CHTMLListAccessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut)
{
    if (shortcut)
        *shortcut = nullptr;
    int row = -1;
    if (const HRESULT hr = Resolve(child, row); hr != S_OK)
        return hr;
    return row < 0 ? m_pStandard->get_accKeyboardShortcut(child, shortcut) : S_FALSE;
}

HRESULT CHTMLListAccessible::get_accFocus(VARIANT* focus)
{
    if (!focus)
        return E_POINTER;
    VariantInit(focus);
    if (!m_pList)
        return RPC_E_DISCONNECTED;
    if (!m_pList->HasFocus())
        return S_FALSE;
    const int selected = m_pList->GetSelectedItem();
    SetLong(focus, selected < 0 ? CHILDID_SELF : ChildIdOf(selected));
    return S_OK;
}

HRESULT CHTMLListAccessible::get_accSelection(VARIANT* selection)
{
    if (!selection)
        return E_POINTER;
    VariantInit(selection);
    if (!m_pList)
        return RPC_E_DISCONNECTED;
    const int selected = m_pList->GetSelectedItem();
    if (selected < 0 || ChildIdOf(selected) == CHILDID_SELF)
        return S_FALSE;
    SetLong(selection, ChildIdOf(selected));
    return S_OK;
}

HRESULT CHTMLListAccessible::get_accDefaultAction(VARIANT child, BSTR* action)
{
    if (action)
        *action = nullptr;
    int row = -1;
    if (const HRESULT hr = Resolve(child, row); hr != S_OK)
        return hr;
    if (row < 0)
        return S_FALSE;
    const HTMLLIST_ITEM* item = m_pList->GetItem(row);
    if (item->nType == HTMLLIST_HEADER)
        return Text(item->bExpanded ? "Collapse" : "Expand", action);
    return Text(item->nCheckState == 1 ? "Uncheck" : "Check", action);
}

HRESULT CHTMLListAccessible::accSelect(long flags, VARIANT child)
{
    int row = -1;
    if (const HRESULT hr = Resolve(child, row); hr != S_OK)
        return hr;
    if (row < 0 || !(flags & (SELFLAG_TAKESELECTION | SELFLAG_TAKEFOCUS)))
        return E_INVALIDARG;
    if (flags & SELFLAG_TAKEFOCUS)
        SetFocus(m_pList->GetSafeHwnd());
    m_pList->Select(row);
    return S_OK;
}

HRESULT CHTMLListAccessible::accLocation(long* left, long* top, long* width, long* height, VARIANT child)
{
    if (!left || !top || !width || !height)
        return E_POINTER;
    int row = -1;
    if (const HRESULT hr = Resolve(child, row); hr != S_OK)
        return hr;
    if (row < 0)
        return m_pStandard->accLocation(left, top, width, height, child);
    RECT box = m_pList->GetItemRect(row);
    MapWindowPoints(m_pList->GetSafeHwnd(), nullptr, reinterpret_cast<POINT*>(&box), 2);
    *left = box.left;
    *top = box.top;
    *width = box.right - box.left;
    *height = box.bottom - box.top;
    return S_OK;
}

HRESULT CHTMLListAccessible::accNavigate(long direction, VARIANT start, VARIANT* end)
{
    if (!end)
        return E_POINTER;
    VariantInit(end);
    int row = -1;
    if (const HRESULT hr = Resolve(start, row); hr != S_OK)
        return hr;
    const long count = static_cast<long>(m_pList->VisibleRows().size());
    if (row < 0) {
        if (direction == NAVDIR_FIRSTCHILD || direction == NAVDIR_LASTCHILD) {
            if (count == 0)
                return S_FALSE;
            SetLong(end, direction == NAVDIR_FIRSTCHILD ? 1 : count);
            return S_OK;
        }
        return m_pStandard->accNavigate(direction, start, end);
    }
    const long id = start.lVal;
    long next = 0;
    if (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN)
        next = id + 1;
    else if (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP)
        next = id - 1;
    if (next < 1 || next > count)
        return S_FALSE;
    SetLong(end, next);
    return S_OK;
}

HRESULT CHTMLListAccessible::accHitTest(long x, long y, VARIANT* child)
{
    if (!child)
        return E_POINTER;
    VariantInit(child);
    if (!m_pList)
        return RPC_E_DISCONNECTED;
    POINT point{x, y};
    HWND wnd = m_pList->GetSafeHwnd();
    RECT client{};
    GetClientRect(wnd, &client);
    ScreenToClient(wnd, &point);
    if (!PtInRect(&client, point))
        return S_FALSE;
    for (int row : m_pList->VisibleRows()) {
        const RECT box = m_pList->GetItemRect(row);
        if (PtInRect(&box, point)) {
            SetLong(child, ChildIdOf(row));
            return S_OK;
        }
    }
    SetLong(child, CHILDID_SELF);
    return S_OK;
}

HRESULT CHTMLListAccessible::accDoDefaultAction(VARIANT child)
{
    int row = -1;
    if (const HRESULT hr = Resolve(child, row); hr != S_OK)
        return hr;
    if (row < 0)
        return DISP_E_MEMBERNOTFOUND;
    m_pList->DoDefaultAction(row);
    return S_OK;
}

HRESULT CHTMLListAccessible::put_accName(VARIANT, BSTR)
{
    return E_NOTIMPL;
}

HRESULT CHTMLListAccessible::put_accValue(VARIANT, BSTR)
{
    return E_NOTIMPL;
}
