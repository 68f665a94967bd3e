#pragma once
// One-line owners for the handle types the program holds, so every early return releases them.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstdint>
#include <utility>

namespace pelmora::win32 {

// T is a handle (pointer) type; InvalidBits is its "no handle" value (INVALID_HANDLE_VALUE is -1).
template <typename T, auto Close, std::intptr_t InvalidBits = 0>
class Unique {
 public:
  static T Invalid() { return reinterpret_cast<T>(InvalidBits); }

  Unique() = default;
  explicit Unique(T value) : value_(value) {}
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  Unique(Unique&& other) noexcept : value_(std::exchange(other.value_, Invalid())) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) reset(std::exchange(other.value_, Invalid()));
    return *this;
  }
  ~Unique() { reset(); }

  T get() const { return value_; }
  explicit operator bool() const { return value_ != Invalid(); }
  T* put() {
    reset();
    return &value_;
  }
  T release() { return std::exchange(value_, Invalid()); }
  void reset(T value = Invalid()) {
    if (value_ != Invalid()) Close(value_);
    value_ = value;
  }

 private:
  T value_ = Invalid();
};

inline void CloseHandleFn(HANDLE h) { ::CloseHandle(h); }
inline void CloseKeyFn(HKEY k) { ::RegCloseKey(k); }
inline void DestroyMenuFn(HMENU m) { ::DestroyMenu(m); }
inline void DestroyIconFn(HICON i) { ::DestroyIcon(i); }
inline void DeleteFontFn(HFONT f) { ::DeleteObject(f); }
inline void FreePidlFn(PIDLIST_ABSOLUTE p) { ::CoTaskMemFree(p); }
inline void FindCloseFn(HANDLE h) { ::FindClose(h); }

using UniqueHandle = Unique<HANDLE, CloseHandleFn>;
using UniqueFile = Unique<HANDLE, CloseHandleFn, -1>;
using UniqueFind = Unique<HANDLE, FindCloseFn, -1>;
using UniqueKey = Unique<HKEY, CloseKeyFn>;
using UniqueMenu = Unique<HMENU, DestroyMenuFn>;
using UniqueIcon = Unique<HICON, DestroyIconFn>;
using UniqueFont = Unique<HFONT, DeleteFontFn>;
using UniquePidl = Unique<PIDLIST_ABSOLUTE, FreePidlFn>;

// Owns one reference of a COM interface.
template <typename I>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() { reset(); }
  I* get() const { return p_; }
  I* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  I** put() {
    reset();
    return &p_;
  }
  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }

 private:
  I* p_ = nullptr;
};

// OLE for the UI thread: drag and drop needs the apartment OleInitialize sets up.
class OleScope {
 public:
  OleScope() : ok_(SUCCEEDED(::OleInitialize(nullptr))) {}
  OleScope(const OleScope&) = delete;
  OleScope& operator=(const OleScope&) = delete;
  ~OleScope() {
    if (ok_) ::OleUninitialize();
  }
  bool ok() const { return ok_; }

 private:
  bool ok_;
};

}  // namespace pelmora::win32
