#pragma once

#include <windows.h>

#include <cstdio>
#include <utility>

// A move-only owner of one handle. Traits give the empty value and the release call.
template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type h) : m_h(h) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : m_h(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    Type get() const { return m_h; }
    explicit operator bool() const { return m_h != Traits::Empty(); }

    Type release() { return std::exchange(m_h, Traits::Empty()); }
    void reset(Type h = Traits::Empty())
    {
        if (m_h != Traits::Empty())
            Traits::Close(m_h);
        m_h = h;
    }
    // For out-parameters: releases what is held and hands out the slot.
    Type* put()
    {
        reset();
        return &m_h;
    }

private:
    Type m_h = Traits::Empty();
};

struct RegKeyTraits {
    using Type = HKEY;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { RegCloseKey(h); }
};
struct FindTraits {
    using Type = HANDLE;
    static Type Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { FindClose(h); }
};
struct FileTraits {
    using Type = HANDLE;
    static Type Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { CloseHandle(h); }
};
struct KernelTraits {
    using Type = HANDLE;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { CloseHandle(h); }
};
struct LibraryTraits {
    using Type = HMODULE;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { FreeLibrary(h); }
};

struct MenuTraits {
    using Type = HMENU;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { DestroyMenu(h); }
};

struct WaitTraits {
    using Type = HANDLE;
    static Type Empty() { return nullptr; }
    // Also waits for a callback of the wait that is running.
    static void Close(Type h) { UnregisterWaitEx(h, INVALID_HANDLE_VALUE); }
};

struct StreamTraits {
    using Type = FILE*;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { fclose(h); }
};

using RegKey = UniqueHandle<RegKeyTraits>;
using FindHandle = UniqueHandle<FindTraits>;
using FileHandle = UniqueHandle<FileTraits>;      // CreateFile results: INVALID_HANDLE_VALUE is empty
using KernelHandle = UniqueHandle<KernelTraits>;  // events, mutexes, threads, processes: NULL is empty
using Library = UniqueHandle<LibraryTraits>;
using MenuHandle = UniqueHandle<MenuTraits>;
using WaitRegistration = UniqueHandle<WaitTraits>;  // RegisterWaitForSingleObject
using FileStream = UniqueHandle<StreamTraits>;      // C library streams (fopen, _fdopen): closed with fclose
