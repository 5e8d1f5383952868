#include "host/com/ComSupport.h"

#include <cstdio>
#include <new>

namespace orvane::host::com {

Bstr::Bstr(std::wstring_view text)
    : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
  if (!b_) throw std::bad_alloc();
}

void ExceptionInfo::clear() {
  e_ = EXCEPINFO{};
}

void ExceptionInfo::free() {
  SysFreeString(e_.bstrSource);
  SysFreeString(e_.bstrDescription);
  SysFreeString(e_.bstrHelpFile);
  clear();
}

void ExceptionInfo::fillIn() {
  if (const auto deferred = std::exchange(e_.pfnDeferredFillIn, nullptr)) deferred(&e_);
}

std::string ExceptionInfo::description() const {
  return toUtf8(e_.bstrDescription);
}

HRESULT ExceptionInfo::code() const {
  return e_.wCode != 0 ? HRESULT{e_.wCode} : e_.scode;
}

std::string toUtf8(BSTR text) {
  if (!text) return {};
  return toUtf8(std::wstring_view(text, SysStringLen(text)));
}

namespace {

std::string formatMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer ? std::wstring_view(buffer, length) : std::wstring_view{});
  LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.pop_back();
  }
  return toUtf8(text);
}

}  // namespace

std::string systemMessage(HRESULT hr) {
  std::string text = formatMessage(static_cast<DWORD>(hr));
  // Some systems know the Win32 error behind an HRESULT only by its plain number.
  if (text.empty() && HRESULT_FACILITY(hr) == FACILITY_WIN32) {
    text = formatMessage(static_cast<DWORD>(HRESULT_CODE(hr)));
  }
  char code[32];
  std::snprintf(code, sizeof code, "(0x%08lX)", static_cast<unsigned long>(hr));
  return text.empty() ? std::string("Error ") + code : text + " " + code;
}

}  // namespace orvane::host::com
