#pragma once

#include <objbase.h>

#include <memory>

struct ComRelease {
    void operator()(IUnknown* object) const { object->Release(); }
};

// An owned reference to a COM interface.
template <typename T>
using ComPtr = std::unique_ptr<T, ComRelease>;

// COM for the current thread during the scope, unless it was set up in another mode already.
class ComScope {
public:
    ComScope() : m_hr(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope()
    {
        if (SUCCEEDED(m_hr))
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT m_hr;
};
