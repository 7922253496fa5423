#pragma once

#include <windows.h>

#include <utility>

namespace vorlune {

// Owns one handle and releases it with `Release`; moves, never copies.
template <typename Handle, auto Release, Handle kNone = nullptr>
class UniqueHandleOf {
 public:
  UniqueHandleOf() = default;
  explicit UniqueHandleOf(Handle handle) noexcept : handle_(handle) {}
  UniqueHandleOf(UniqueHandleOf&& other) noexcept : handle_(std::exchange(other.handle_, kNone)) {}
  UniqueHandleOf& operator=(UniqueHandleOf&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.handle_, kNone));
    return *this;
  }
  UniqueHandleOf(const UniqueHandleOf&) = delete;
  UniqueHandleOf& operator=(const UniqueHandleOf&) = delete;
  ~UniqueHandleOf() { Reset(); }

  Handle Get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != kNone; }
  void Reset(Handle handle = kNone) noexcept {
    if (handle_ != kNone) Release(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = kNone;
};

inline void CloseKernelHandle(HANDLE handle) noexcept { CloseHandle(handle); }
inline void DeleteFont(HFONT font) noexcept { DeleteObject(font); }
inline void DeleteIcon(HICON icon) noexcept { DestroyIcon(icon); }
inline void DeleteWindow(HWND window) noexcept { DestroyWindow(window); }

using UniqueHandle = UniqueHandleOf<HANDLE, CloseKernelHandle>;
using UniqueFont = UniqueHandleOf<HFONT, DeleteFont>;
using UniqueIcon = UniqueHandleOf<HICON, DeleteIcon>;
using UniqueWindow = UniqueHandleOf<HWND, DeleteWindow>;

// BeginPaint .. EndPaint for one WM_PAINT.
class PaintScope {
 public:
  explicit PaintScope(HWND window) noexcept : window_(window), dc_(BeginPaint(window, &paint_)) {}
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  ~PaintScope() { EndPaint(window_, &paint_); }

  HDC Dc() const noexcept { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// Selects an object into a DC and puts the previous one back.
class SelectScope {
 public:
  SelectScope(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(SelectObject(dc, object)) {}
  SelectScope(const SelectScope&) = delete;
  SelectScope& operator=(const SelectScope&) = delete;
  ~SelectScope() { SelectObject(dc_, previous_); }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace vorlune
