#pragma once

#include <objbase.h>

#include <utility>

// Owns one COM interface pointer: released at the end of its life, moved but never copied.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    // Adopts a reference the caller owns.
    explicit ComPtr(T* p) : m_p(p) {}
    ~ComPtr() { reset(); }

    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_p = std::exchange(other.m_p, nullptr);
        }
        return *this;
    }

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    void reset()
    {
        if (m_p)
            std::exchange(m_p, nullptr)->Release();
    }
    // For out-parameters (CoCreateInstance, QueryInterface): releases what is held and hands out the slot.
    void** put()
    {
        reset();
        return reinterpret_cast<void**>(&m_p);
    }
    // The same for calls that hand out a typed pointer (ITask::GetTrigger and the like).
    T** put_typed()
    {
        reset();
        return &m_p;
    }

private:
    T* m_p = nullptr;
};

// COM (single-threaded apartment) on the calling thread for the lifetime of the object: one at the
// entry of each thread that uses COM. Only a successful CoInitialize is balanced by CoUninitialize.
class ComApartment {
public:
    ComApartment() : m_hr(CoInitialize(nullptr)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(m_hr))
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT m_hr;
};
