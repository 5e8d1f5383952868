#include "panel/win32/AccessibilityAnnotations.h"

// The annotation service's property ids are defined here, once for the program.
#include <initguid.h>
#include <oleacc.h>

#include <algorithm>

namespace orvane::panel::win32 {

AccessibilityAnnotations::AccessibilityAnnotations() {
  // The service is a COM object. The thread's apartment is shared with the host binding, which
  // asks for the same single-threaded kind; a thread that is multithreaded already is used as is.
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  uninitialise_ = init == S_OK || init == S_FALSE;
  if (FAILED(init) && init != RPC_E_CHANGED_MODE) return;
  if (SUCCEEDED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_IAccPropServices, reinterpret_cast<void**>(&service_)))) {
    status_ = Status::Working;
  }
}

AccessibilityAnnotations::~AccessibilityAnnotations() {
  clear();
  if (service_) service_->Release();
  if (uninitialise_) CoUninitialize();
}

bool AccessibilityAnnotations::accepted(HRESULT result) {
  if (SUCCEEDED(result)) return true;
  // E_NOTIMPL (Wine 8) or any other refusal: no further attempts.
  status_ = Status::Refused;
  return false;
}

void AccessibilityAnnotations::remember(HWND control) {
  if (std::find(annotated_.begin(), annotated_.end(), control) == annotated_.end()) {
    annotated_.push_back(control);
  }
}

void AccessibilityAnnotations::name(HWND control, const std::wstring& name) {
  if (status_ != Status::Working || !control) return;
  remember(control);
  accepted(service_->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                    PROPID_ACC_NAME, name.c_str()));
}

void AccessibilityAnnotations::onOffState(HWND control, bool on, bool announce) {
  if (!control) return;
  if (status_ == Status::Working) {
    remember(control);
    VARIANT role;
    VariantInit(&role);
    role.vt = VT_I4;
    role.lVal = ROLE_SYSTEM_PUSHBUTTON;
    VARIANT state;
    VariantInit(&state);
    state.vt = VT_I4;
    state.lVal = STATE_SYSTEM_FOCUSABLE | (on ? STATE_SYSTEM_CHECKED : 0);
    if (accepted(service_->SetHwndProp(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                       PROPID_ACC_ROLE, role))) {
      accepted(service_->SetHwndProp(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                     PROPID_ACC_STATE, state));
    }
  }
  if (announce) {
    NotifyWinEvent(EVENT_OBJECT_STATECHANGE, control, OBJID_CLIENT, CHILDID_SELF);
    ++announcements_;
  }
}

void AccessibilityAnnotations::value(HWND control, const std::wstring& value, bool announce) {
  if (!control) return;
  if (status_ == Status::Working) {
    remember(control);
    accepted(service_->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                      PROPID_ACC_VALUE, value.c_str()));
  }
  if (announce) {
    NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, control, OBJID_CLIENT, CHILDID_SELF);
    ++announcements_;
  }
}

void AccessibilityAnnotations::clear() {
  if (service_) {
    const MSAAPROPID props[] = {PROPID_ACC_NAME, PROPID_ACC_ROLE, PROPID_ACC_STATE,
                                PROPID_ACC_VALUE};
    for (HWND control : annotated_) {
      service_->ClearHwndProps(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, props,
                               static_cast<int>(std::size(props)));
    }
  }
  annotated_.clear();
}

}  // namespace orvane::panel::win32
