// Stand-ins that a test puts between the library and a device's real graph, in the record's own
// fields: a graph control that answers as a script says, and an event queue that keeps account of
// what was read and freed. Everything a script leaves alone passes through to the real graph.
// Created on the test's thread; called on whichever thread the library calls them.
#pragma once

#include <control.h>
#include <dshow.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "qmr_dshow.h"

namespace capture_tests {

// Wine's graph reports no filter's failure from Run, and its state changes end at once; a script
// makes the graph answer as other graphs and devices do.
struct ControlScript {
  bool run_graph = true;  // whether Run runs the real graph before it answers
  HRESULT run = S_OK;     // Run's answer when the graph ran, or the refusal when it did not
  // GetState's answer, for state_ms after Run (or for ever, at INFINITE); then the real graph's.
  // An answer of VFW_S_STATE_INTERMEDIATE takes the call's whole timeout, as a graph in transition does.
  std::optional<HRESULT> state_result = std::nullopt;
  OAFilterState state = State_Paused;
  DWORD state_ms = INFINITE;
  bool stop_graph = true;  // whether Stop stops the real graph before it answers
  HRESULT stop = S_OK;
};

// The IUnknown and IDispatch part of a stand-in: counted references of its own, the rest the real
// object's, which it holds one reference to.
template <typename Interface>
class Interposer : public Interface {
 public:
  // Takes over the caller's reference to real.
  explicit Interposer(Interface* real) : real_(real) {}
  virtual ~Interposer() { real_->Release(); }
  Interposer(const Interposer&) = delete;
  Interposer& operator=(const Interposer&) = delete;

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override { return real_->QueryInterface(riid, out); }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  STDMETHODIMP GetTypeInfoCount(UINT* count) override { return real_->GetTypeInfoCount(count); }
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
    return real_->GetTypeInfo(index, lcid, info);
  }
  STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
    return real_->GetIDsOfNames(riid, names, count, lcid, ids);
  }
  STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* info, UINT* arg) override {
    return real_->Invoke(id, riid, lcid, flags, params, result, info, arg);
  }

 protected:
  Interface* real_;

 private:
  std::atomic<ULONG> refs_{1};
};

class ScriptedControl : public Interposer<IMediaControl> {
 public:
  ScriptedControl(IMediaControl* real, const ControlScript& script) : Interposer(real), script_(script) {}

  STDMETHODIMP Run() override;
  STDMETHODIMP Pause() override;
  STDMETHODIMP Stop() override;
  STDMETHODIMP GetState(LONG timeout, OAFilterState* state) override;
  STDMETHODIMP RenderFile(BSTR name) override;
  STDMETHODIMP AddSourceFilter(BSTR name, IDispatch** filter) override;
  STDMETHODIMP get_FilterCollection(IDispatch** out) override;
  STDMETHODIMP get_RegFilterCollection(IDispatch** out) override;
  STDMETHODIMP StopWhenReady() override;

  std::atomic<int> state_calls{0};
  std::atomic<int> stop_calls{0};

 private:
  ControlScript script_;
  DWORD run_at_ = 0;
};

// Puts a scripted control into an open record, in place of its own.
ScriptedControl* ScriptControl(ds_capture_device* device, const ControlScript& script);

struct GraphEvent {
  long code;
  LONG_PTR param1;
  LONG_PTR param2;
  bool operator==(const GraphEvent& other) const {
    return code == other.code && param1 == other.param1 && param2 == other.param2;
  }
};

// What the library read from a graph's event queue and what it gave back; outlives the queue.
struct EventLedger {
  std::mutex mutex;
  std::vector<GraphEvent> read;
  std::vector<GraphEvent> freed;
};

class AccountedEvents : public Interposer<IMediaEvent> {
 public:
  AccountedEvents(IMediaEvent* real, std::shared_ptr<EventLedger> ledger)
      : Interposer(real), ledger_(std::move(ledger)) {}

  STDMETHODIMP GetEventHandle(OAEVENT* handle) override;
  STDMETHODIMP GetEvent(long* code, LONG_PTR* param1, LONG_PTR* param2, long timeout) override;
  STDMETHODIMP WaitForCompletion(long timeout, long* code) override;
  STDMETHODIMP CancelDefaultHandling(long code) override;
  STDMETHODIMP RestoreDefaultHandling(long code) override;
  STDMETHODIMP FreeEventParams(long code, LONG_PTR param1, LONG_PTR param2) override;

 private:
  std::shared_ptr<EventLedger> ledger_;
};

}  // namespace capture_tests
