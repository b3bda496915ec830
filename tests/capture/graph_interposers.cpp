#include "graph_interposers.h"

namespace capture_tests {

ScriptedControl::ScriptedControl(IMediaControl* real, const ControlScript& script) : real_(real), script_(script) {}

ScriptedControl::~ScriptedControl() { real_->Release(); }

STDMETHODIMP ScriptedControl::QueryInterface(REFIID riid, void** out) { return real_->QueryInterface(riid, out); }
STDMETHODIMP_(ULONG) ScriptedControl::AddRef() { return ++refs_; }
STDMETHODIMP_(ULONG) ScriptedControl::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}
STDMETHODIMP ScriptedControl::GetTypeInfoCount(UINT* count) { return real_->GetTypeInfoCount(count); }
STDMETHODIMP ScriptedControl::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) {
  return real_->GetTypeInfo(index, lcid, info);
}
STDMETHODIMP ScriptedControl::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
  return real_->GetIDsOfNames(riid, names, count, lcid, ids);
}
STDMETHODIMP ScriptedControl::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* info, UINT* arg) {
  return real_->Invoke(id, riid, lcid, flags, params, result, info, arg);
}

STDMETHODIMP ScriptedControl::Run() {
  run_at_ = GetTickCount();
  if (!script_.run_graph) return script_.run;
  const HRESULT hr = real_->Run();
  return FAILED(hr) ? hr : script_.run;
}

STDMETHODIMP ScriptedControl::Pause() { return real_->Pause(); }

STDMETHODIMP ScriptedControl::Stop() {
  ++stop_calls;
  if (!script_.stop_graph) return script_.stop;
  const HRESULT hr = real_->Stop();
  return FAILED(hr) ? hr : script_.stop;
}

STDMETHODIMP ScriptedControl::GetState(LONG timeout, OAFilterState* state) {
  ++state_calls;
  const bool scripted =
      script_.state_result.has_value() && (script_.state_ms == INFINITE || GetTickCount() - run_at_ < script_.state_ms);
  if (!scripted) return real_->GetState(timeout, state);
  if (state != nullptr) *state = script_.state;
  if (*script_.state_result == VFW_S_STATE_INTERMEDIATE) Sleep(timeout > 0 ? static_cast<DWORD>(timeout) : 0);
  return *script_.state_result;
}

STDMETHODIMP ScriptedControl::RenderFile(BSTR name) { return real_->RenderFile(name); }
STDMETHODIMP ScriptedControl::AddSourceFilter(BSTR name, IDispatch** filter) {
  return real_->AddSourceFilter(name, filter);
}
STDMETHODIMP ScriptedControl::get_FilterCollection(IDispatch** out) { return real_->get_FilterCollection(out); }
STDMETHODIMP ScriptedControl::get_RegFilterCollection(IDispatch** out) { return real_->get_RegFilterCollection(out); }
STDMETHODIMP ScriptedControl::StopWhenReady() { return real_->StopWhenReady(); }

ScriptedControl* ScriptControl(ds_capture_device* device, const ControlScript& script) {
  auto* control = new ScriptedControl(device->media_control, script);
  device->media_control = control;
  return control;
}

AccountedEvents::AccountedEvents(IMediaEvent* real, std::shared_ptr<EventLedger> ledger)
    : real_(real), ledger_(std::move(ledger)) {}

AccountedEvents::~AccountedEvents() { real_->Release(); }

STDMETHODIMP AccountedEvents::QueryInterface(REFIID riid, void** out) { return real_->QueryInterface(riid, out); }
STDMETHODIMP_(ULONG) AccountedEvents::AddRef() { return ++refs_; }
STDMETHODIMP_(ULONG) AccountedEvents::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}
STDMETHODIMP AccountedEvents::GetTypeInfoCount(UINT* count) { return real_->GetTypeInfoCount(count); }
STDMETHODIMP AccountedEvents::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) {
  return real_->GetTypeInfo(index, lcid, info);
}
STDMETHODIMP AccountedEvents::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
  return real_->GetIDsOfNames(riid, names, count, lcid, ids);
}
STDMETHODIMP AccountedEvents::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* info, UINT* arg) {
  return real_->Invoke(id, riid, lcid, flags, params, result, info, arg);
}
STDMETHODIMP AccountedEvents::GetEventHandle(OAEVENT* handle) { return real_->GetEventHandle(handle); }

STDMETHODIMP AccountedEvents::GetEvent(long* code, LONG_PTR* param1, LONG_PTR* param2, long timeout) {
  const HRESULT hr = real_->GetEvent(code, param1, param2, timeout);
  if (hr == S_OK) {
    std::lock_guard<std::mutex> lock(ledger_->mutex);
    ledger_->read.push_back({*code, *param1, *param2});
  }
  return hr;
}

STDMETHODIMP AccountedEvents::WaitForCompletion(long timeout, long* code) {
  return real_->WaitForCompletion(timeout, code);
}
STDMETHODIMP AccountedEvents::CancelDefaultHandling(long code) { return real_->CancelDefaultHandling(code); }
STDMETHODIMP AccountedEvents::RestoreDefaultHandling(long code) { return real_->RestoreDefaultHandling(code); }

STDMETHODIMP AccountedEvents::FreeEventParams(long code, LONG_PTR param1, LONG_PTR param2) {
  {
    std::lock_guard<std::mutex> lock(ledger_->mutex);
    ledger_->freed.push_back({code, param1, param2});
  }
  return real_->FreeEventParams(code, param1, param2);
}

}  // namespace capture_tests
