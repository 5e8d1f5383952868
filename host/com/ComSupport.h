#pragma once

// The Windows side of the COM binding: owning wrappers for every COM resource the binding touches,
// text conversion and error text. Internal to host/com and its tests.

#include <windows.h>
// After windows.h, which it builds on.
#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/com/WideText.h"

namespace orvane::host::com {

// An owned interface pointer: released exactly once, when the last owner lets go.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over a reference that the caller already owns.
  static ComPtr adopt(T* pointer) {
    ComPtr result;
    result.p_ = pointer;
    return result;
  }
  // Adds a reference of its own.
  static ComPtr retain(T* pointer) {
    if (pointer) pointer->AddRef();
    return adopt(pointer);
  }

  ComPtr(const ComPtr& other) : p_(other.p_) {
    if (p_) p_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComPtr() { reset(); }

  void reset() {
    if (T* old = std::exchange(p_, nullptr)) old->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out-parameters: drops the current reference and hands out the slot.
  T** put() {
    reset();
    return &p_;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }

 private:
  T* p_ = nullptr;
};

// An owned BSTR, freed exactly once.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::wstring_view text);
  static Bstr adopt(BSTR text) {
    Bstr result;
    result.b_ = text;
    return result;
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& other) noexcept : b_(std::exchange(other.b_, nullptr)) {}
  Bstr& operator=(Bstr&& other) noexcept {
    std::swap(b_, other.b_);
    return *this;
  }
  ~Bstr() { SysFreeString(b_); }

  BSTR get() const { return b_; }
  BSTR* put() {
    SysFreeString(std::exchange(b_, nullptr));
    return &b_;
  }
  BSTR release() { return std::exchange(b_, nullptr); }

 private:
  BSTR b_ = nullptr;
};

// An owned VARIANT, cleared exactly once.
class VariantValue {
 public:
  VariantValue() { VariantInit(&v_); }
  VariantValue(const VariantValue&) = delete;
  VariantValue& operator=(const VariantValue&) = delete;
  ~VariantValue() { VariantClear(&v_); }

  VARIANT* get() { return &v_; }
  const VARIANT* get() const { return &v_; }
  void clear() { VariantClear(&v_); }

 private:
  VARIANT v_;
};

// A contiguous array of owned VARIANTs, as DISPPARAMS wants them; its size is fixed at birth, so
// pointers into it stay valid.
class VariantArray {
 public:
  explicit VariantArray(std::size_t size) : v_(size) {
    for (auto& v : v_) VariantInit(&v);
  }
  VariantArray(const VariantArray&) = delete;
  VariantArray& operator=(const VariantArray&) = delete;
  ~VariantArray() {
    for (auto& v : v_) VariantClear(&v);
  }

  VARIANT* data() { return v_.data(); }
  VARIANT& operator[](std::size_t i) { return v_[i]; }
  std::size_t size() const { return v_.size(); }

 private:
  std::vector<VARIANT> v_;
};

// An EXCEPINFO whose three strings are freed exactly once.
class ExceptionInfo {
 public:
  ExceptionInfo() { clear(); }
  ExceptionInfo(const ExceptionInfo&) = delete;
  ExceptionInfo& operator=(const ExceptionInfo&) = delete;
  ~ExceptionInfo() { free(); }

  EXCEPINFO* get() { return &e_; }
  // Lets a server that deferred the details fill them in now (at most once).
  void fillIn();
  // The host's own description; empty when it gave none.
  std::string description() const;
  // wCode when the host set one, else scode.
  HRESULT code() const;

 private:
  void free();
  void clear();
  EXCEPINFO e_;
};

std::string toUtf8(BSTR text);  // a null BSTR is empty text

// The system's message for an HRESULT, with its code: "The RPC server is unavailable.
// (0x800706BA)". Never empty.
std::string systemMessage(HRESULT hr);

}  // namespace orvane::host::com
