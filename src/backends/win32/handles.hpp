#pragma once
// The Win32 backends' handles, each owned by one object that releases it the
// one way the system asks for (CloseHandle, InternetCloseHandle, DeleteObject,
// DeleteDC, ReleaseDC, LocalFree, CoTaskMemFree, FindClose, DestroyWindow),
// however the scope is left: a
// throw between a handle's making and its release leaks nothing. Move-only;
// an empty owner (a failed call's null or INVALID_HANDLE_VALUE) releases
// nothing. SelectedObject puts back what a device context held before.
#include <type_traits>
#include <utility>

#include "backends/win32/prelude.hpp"
// After windows.h, whose types they use.
#include <wininet.h>

template <class Handle, auto Free>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Handle Get() const { return handle_; }
  // A real handle: neither null nor INVALID_HANDLE_VALUE.
  bool Valid() const { return handle_ && handle_ != Invalid(); }
  // Gives the handle up without releasing it.
  Handle Release() { return std::exchange(handle_, Handle{}); }
  void Reset(Handle handle = Handle{}) {
    if (Valid()) Free(handle_);
    handle_ = handle;
  }

 private:
  static Handle Invalid() {
    if constexpr (std::is_pointer_v<Handle>)
      return reinterpret_cast<Handle>(INVALID_HANDLE_VALUE);
    else
      return Handle{};
  }
  Handle handle_{};
};

using UniqueKernelHandle = UniqueHandle<HANDLE, &::CloseHandle>;
using UniqueInternetHandle = UniqueHandle<HINTERNET, &::InternetCloseHandle>;
using UniqueGdiObject = UniqueHandle<HGDIOBJ, &::DeleteObject>;
using UniqueBitmap = UniqueHandle<HBITMAP, &::DeleteObject>;
using UniqueBrush = UniqueHandle<HBRUSH, &::DeleteObject>;
using UniqueMemoryDc = UniqueHandle<HDC, &::DeleteDC>;
using UniqueIcon = UniqueHandle<HICON, &::DestroyIcon>;
using UniqueFind = UniqueHandle<HANDLE, &::FindClose>;
using UniqueLocalMemory = UniqueHandle<HLOCAL, &::LocalFree>;
using UniqueTaskMemory = UniqueHandle<PWSTR, &::CoTaskMemFree>;
using UniqueWindow = UniqueHandle<HWND, &::DestroyWindow>;

// A window's device context, from GetDC to ReleaseDC.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ::ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// An object selected into a device context for a scope; what the context
// held before is selected again at its end.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
  ~SelectedObject() {
    if (previous_ && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};
