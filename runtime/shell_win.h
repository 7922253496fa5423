#pragma once

#include <windows.h>
#include <objbase.h>

#include <utility>

namespace vorlune {

// COM for the current thread for as long as this lives.
class ComApartment {
 public:
  ComApartment();
  ~ComApartment();
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  // True when COM may be used on this thread, set up here or by someone else before.
  bool Usable() const;
  HRESULT Result() const { return result_; }

 private:
  HRESULT result_;
};

// Owns one reference to a COM interface.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      pointer_ = std::exchange(other.pointer_, nullptr);
    }
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  HRESULT Create(REFCLSID object) {
    Reset();
    return CoCreateInstance(object, nullptr, CLSCTX_INPROC_SERVER, __uuidof(T),
                            reinterpret_cast<void**>(&pointer_));
  }
  template <class U>
  HRESULT As(ComPtr<U>& other) const {
    return pointer_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(other.Receive()));
  }

  T* operator->() const { return pointer_; }
  T* Get() const { return pointer_; }
  T** Receive() {
    Reset();
    return &pointer_;
  }
  void Reset() {
    if (pointer_ != nullptr) std::exchange(pointer_, nullptr)->Release();
  }

 private:
  T* pointer_ = nullptr;
};

}  // namespace vorlune
