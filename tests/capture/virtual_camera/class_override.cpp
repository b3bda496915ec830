#include "class_override.h"

#include <dshow.h>
#include <gtest/gtest.h>
#include <wchar.h>
#include <wrl/client.h>

#include "adopt.h"

#include "com_enumerators.h"

namespace virtual_camera {
namespace {

class StubFilter : public IBaseFilter {
 public:
  StubFilter(const CLSID& clsid, std::shared_ptr<std::atomic<int>> alive) : clsid_(clsid), alive_(std::move(alive)) {
    ++*alive_;
  }

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IPersist || riid == IID_IMediaFilter || riid == IID_IBaseFilter) {
      *out = static_cast<IBaseFilter*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  STDMETHODIMP GetClassID(CLSID* clsid) override {
    if (clsid == nullptr) return E_POINTER;
    *clsid = clsid_;
    return S_OK;
  }
  STDMETHODIMP Stop() override {
    state_ = State_Stopped;
    return S_OK;
  }
  STDMETHODIMP Pause() override {
    state_ = State_Paused;
    return S_OK;
  }
  STDMETHODIMP Run(REFERENCE_TIME) override {
    state_ = State_Running;
    return S_OK;
  }
  STDMETHODIMP GetState(DWORD, FILTER_STATE* state) override {
    if (state == nullptr) return E_POINTER;
    *state = state_;
    return S_OK;
  }
  STDMETHODIMP SetSyncSource(IReferenceClock*) override { return S_OK; }
  STDMETHODIMP GetSyncSource(IReferenceClock** clock) override {
    if (clock == nullptr) return E_POINTER;
    *clock = nullptr;
    return S_OK;
  }
  STDMETHODIMP EnumPins(IEnumPins** pins) override {
    if (pins == nullptr) return E_POINTER;
    *pins = new PinEnumerator({});
    return S_OK;
  }
  STDMETHODIMP FindPin(LPCWSTR, IPin** pin) override {
    if (pin == nullptr) return E_POINTER;
    *pin = nullptr;
    return VFW_E_NOT_FOUND;
  }
  STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override {
    if (info == nullptr) return E_POINTER;
    wcsncpy(info->achName, name_, MAX_FILTER_NAME);
    info->pGraph = graph_;
    if (graph_ != nullptr) graph_->AddRef();
    return S_OK;
  }
  STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override {
    graph_ = graph;  // not counted: the graph owns the filter
    wcsncpy(name_, name != nullptr ? name : L"", MAX_FILTER_NAME - 1);
    return S_OK;
  }
  STDMETHODIMP QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }

 private:
  virtual ~StubFilter() { --*alive_; }
  std::atomic<ULONG> refs_{1};
  CLSID clsid_;
  std::shared_ptr<std::atomic<int>> alive_;
  FILTER_STATE state_ = State_Stopped;
  IFilterGraph* graph_ = nullptr;
  wchar_t name_[MAX_FILTER_NAME] = {};
};

class OverrideFactory : public IClassFactory {
 public:
  OverrideFactory(const CLSID& clsid, ClassOverride::Kind kind, std::shared_ptr<std::atomic<int>> created,
                  std::shared_ptr<std::atomic<int>> alive)
      : clsid_(clsid), kind_(kind), created_(std::move(created)), alive_(std::move(alive)) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    if (kind_ == ClassOverride::kFails) return E_FAIL;
    ++*created_;
    Microsoft::WRL::ComPtr<IBaseFilter> filter;
    filter = Adopt(new StubFilter(clsid_, alive_));
    return filter->QueryInterface(riid, out);
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }

 private:
  virtual ~OverrideFactory() = default;
  std::atomic<ULONG> refs_{1};
  CLSID clsid_;
  ClassOverride::Kind kind_;
  std::shared_ptr<std::atomic<int>> created_;
  std::shared_ptr<std::atomic<int>> alive_;
};

}  // namespace

ClassOverride::ClassOverride(const CLSID& clsid, Kind kind)
    : created_(std::make_shared<std::atomic<int>>(0)), alive_(std::make_shared<std::atomic<int>>(0)) {
  Microsoft::WRL::ComPtr<IClassFactory> factory;
  factory = Adopt(new OverrideFactory(clsid, kind, created_, alive_));
  HRESULT hr = CoRegisterClassObject(clsid, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_);
  if (FAILED(hr)) {
    ADD_FAILURE() << "cannot override a class: " << std::hex << hr;
    cookie_ = 0;
  }
}

ClassOverride::~ClassOverride() {
  if (cookie_ != 0) CoRevokeClassObject(cookie_);
}

}  // namespace virtual_camera
