#include "graph_interposers.h"

namespace capture_tests {

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
