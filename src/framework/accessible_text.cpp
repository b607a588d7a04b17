#include "framework/accessible_text.h"

#include <utility>

#include "framework/com_ptr.h"
#include "framework/wide_text.h"

namespace {

// The system's object for a window with another name, description and role for the window itself;
// its children and every other property are the system's. It holds copies of the texts and the
// system's object only, so it stays sound after the window has gone (the system's object then
// answers for it).
class CNamedAccessible final : public IAccessible, public IOleWindow {
public:
    CNamedAccessible(HWND wnd, ComPtr<IAccessible> standard, const std::string& name, const std::string& description,
                     long role)
        : m_hWnd(wnd), m_standard(std::move(standard)), m_strName(Widen(name)), m_strDescription(Widen(description)),
          m_nRole(role)
    {
    }
    CNamedAccessible(const CNamedAccessible&) = delete;
    CNamedAccessible& operator=(const CNamedAccessible&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IAccessible))
            *out = static_cast<IAccessible*>(this);
        else if (iid == IID_IOleWindow)
            *out = static_cast<IOleWindow*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_nRefs)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG refs = InterlockedDecrement(&m_nRefs);
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }

    // IOleWindow: readers find the window of an object through it (WindowFromAccessibleObject).
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* wnd) override
    {
        if (!wnd)
            return E_POINTER;
        *wnd = m_hWnd;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IDispatch: not offered (readers use the IAccessible methods).
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    // IAccessible: the texts and the role of the window itself are ours, the rest the system's.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
    {
        return Own(child, m_strName) ? Text(m_strName, name) : m_standard->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override
    {
        return Own(child, m_strDescription) ? Text(m_strDescription, description)
                                            : m_standard->get_accDescription(child, description);
    }
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return m_standard->get_accParent(parent); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override { return m_standard->get_accChildCount(count); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override
    {
        return m_standard->get_accChild(child, out);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
    {
        return m_standard->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        if (!m_nRole || !Self(child))
            return m_standard->get_accRole(child, role);
        if (!role)
            return E_POINTER;
        VariantInit(role);
        role->vt = VT_I4;
        role->lVal = m_nRole;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override
    {
        return m_standard->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override
    {
        return m_standard->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override
    {
        return m_standard->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override
    {
        return m_standard->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override { return m_standard->get_accFocus(focus); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override
    {
        return m_standard->get_accSelection(selection);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override
    {
        return m_standard->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override
    {
        return m_standard->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override
    {
        return m_standard->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override
    {
        return m_standard->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override
    {
        return m_standard->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
    {
        return m_standard->accDoDefaultAction(child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    ~CNamedAccessible() = default;

    static bool Self(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }
    // The text is ours to give: it is set, and asked for the window itself.
    static bool Own(const VARIANT& child, const std::wstring& text) { return !text.empty() && Self(child); }
    static HRESULT Text(const std::wstring& text, BSTR* out)
    {
        if (!out)
            return E_POINTER;
        *out = SysAllocString(text.c_str());
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    LONG m_nRefs = 1;
    HWND m_hWnd;
    ComPtr<IAccessible> m_standard;
    std::wstring m_strName;
    std::wstring m_strDescription;
    long m_nRole;
};

} // namespace

void CAccessibleText::Set(std::string name, std::string description, long role)
{
    m_strName = std::move(name);
    m_strDescription = std::move(description);
    m_nRole = role;
}

bool CAccessibleText::OnGetObject(HWND wnd, WPARAM wParam, LPARAM lParam, LRESULT& result) const
{
    if ((m_strName.empty() && m_strDescription.empty() && !m_nRole) ||
        static_cast<LONG>(lParam) != static_cast<LONG>(OBJID_CLIENT))
        return false;
    ComPtr<IAccessible> standard;
    if (FAILED(CreateStdAccessibleObject(wnd, OBJID_CLIENT, __uuidof(IAccessible), standard.put())))
        return false;
    // Made for each request: the reader's reference keeps it, LresultFromObject takes its own.
    ComPtr<CNamedAccessible> named(new CNamedAccessible(wnd, std::move(standard), m_strName, m_strDescription, m_nRole));
    result = LresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(named.get()));
    return true;
}
