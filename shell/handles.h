// Owning wrappers for Win32 handles: each handle has one owner, which releases it.
#pragma once

#include <windows.h>

#include <utility>

namespace trigora {

template <typename H, typename Releaser>
class Owned {
  public:
    Owned() = default;
    explicit Owned(H handle) : handle_(handle) {}
    ~Owned() { Reset(); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, H{})) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.handle_, H{}));
        }
        return *this;
    }

    H Get() const { return handle_; }
    explicit operator bool() const { return handle_ != H{}; }
    H Release() { return std::exchange(handle_, H{}); }
    void Reset(H handle = H{}) {
        H old = std::exchange(handle_, handle);
        if (old != H{}) {
            Releaser{}(old);
        }
    }

  private:
    H handle_{};
};

struct DeleteGdiObject {
    void operator()(HGDIOBJ h) const { DeleteObject(h); }
};
struct DestroyIconHandle {
    void operator()(HICON h) const { DestroyIcon(h); }
};
struct DestroyMenuHandle {
    void operator()(HMENU h) const { DestroyMenu(h); }
};
struct FreeModule {
    void operator()(HMODULE h) const { FreeLibrary(h); }
};
struct CloseRegistryKey {
    void operator()(HKEY h) const { RegCloseKey(h); }
};
struct CloseKernelHandle {
    void operator()(HANDLE h) const {
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
        }
    }
};
struct DestroyWindowHandle {
    void operator()(HWND h) const { DestroyWindow(h); }
};

using OwnedFont = Owned<HFONT, DeleteGdiObject>;
using OwnedBrush = Owned<HBRUSH, DeleteGdiObject>;
using OwnedBitmap = Owned<HBITMAP, DeleteGdiObject>;
using OwnedIcon = Owned<HICON, DestroyIconHandle>;
using OwnedMenu = Owned<HMENU, DestroyMenuHandle>;
using OwnedModule = Owned<HMODULE, FreeModule>;
using OwnedKey = Owned<HKEY, CloseRegistryKey>;
using OwnedWindow = Owned<HWND, DestroyWindowHandle>;

// A file handle: INVALID_HANDLE_VALUE, not null, is what CreateFile gives on failure.
class OwnedFile {
  public:
    OwnedFile() = default;
    explicit OwnedFile(HANDLE h) : handle_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    ~OwnedFile() {
        if (handle_ != nullptr) {
            CloseHandle(handle_);
        }
    }
    OwnedFile(const OwnedFile&) = delete;
    OwnedFile& operator=(const OwnedFile&) = delete;
    HANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    // Closes now and tells whether the close itself succeeded (a write is only done once closed).
    bool Close() {
        HANDLE h = std::exchange(handle_, nullptr);
        return h != nullptr && CloseHandle(h) != 0;
    }

  private:
    HANDLE handle_ = nullptr;
};

} // namespace trigora
