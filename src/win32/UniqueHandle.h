// A move-only owner of one Windows handle, closed when the owner goes (the
// shape of WIL's unique_any). Traits name the handle type, its empty value,
// which values are valid, and how it is closed; closing never throws.
#pragma once

#include <windows.h>

#include <utility>

namespace lum::win32 {

template <typename Traits>
class UniqueHandle {
  public:
    using THandleType = typename Traits::Type;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(THandleType handle) noexcept : FHandle(handle) {}
    ~UniqueHandle() { Reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : FHandle(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    THandleType Get() const noexcept { return FHandle; }
    bool IsValid() const noexcept { return Traits::IsValid(FHandle); }
    explicit operator bool() const noexcept { return IsValid(); }

    // Closes the handle held (if valid) and takes handle instead.
    void Reset(THandleType handle = Traits::Empty()) noexcept {
        const THandleType old = std::exchange(FHandle, handle);
        if (Traits::IsValid(old))
            Traits::Close(old);
    }
    // Gives the handle up without closing it.
    THandleType Release() noexcept { return std::exchange(FHandle, Traits::Empty()); }
    // Closes the handle held and returns where a function may store a new one.
    THandleType* Put() noexcept {
        Reset();
        return &FHandle;
    }

  private:
    THandleType FHandle = Traits::Empty();
};

// Kernel objects (files, mutexes, events): both null and INVALID_HANDLE_VALUE
// mean none, since the functions that make them differ in which one they
// return on failure.
struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Empty() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};

// FindFirstFile searches: closed with FindClose, INVALID_HANDLE_VALUE on failure.
struct FindHandleTraits {
    using Type = HANDLE;
    static Type Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Type h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::FindClose(h); }
};

// Registry keys.
struct RegKeyTraits {
    using Type = HKEY;
    static Type Empty() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::RegCloseKey(h); }
};

// Fonts, bitmaps, brushes: deleted with DeleteObject.
struct GdiObjectTraits {
    using Type = HGDIOBJ;
    static Type Empty() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::DeleteObject(h); }
};

// Memory device contexts from CreateCompatibleDC: deleted with DeleteDC.
struct MemoryDcTraits {
    using Type = HDC;
    static Type Empty() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::DeleteDC(h); }
};

// Windows the code created itself: destroyed with DestroyWindow.
struct WindowTraits {
    using Type = HWND;
    static Type Empty() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::DestroyWindow(h); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;
using UniqueHKey = UniqueHandle<RegKeyTraits>;
using UniqueGdiObject = UniqueHandle<GdiObjectTraits>;
using UniqueMemoryDc = UniqueHandle<MemoryDcTraits>;
using UniqueWindow = UniqueHandle<WindowTraits>;

}  // namespace lum::win32
