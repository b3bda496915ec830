#include "class_override.h"

#include <dshow.h>
#include <gtest/gtest.h>
#include <wchar.h>
#include <wrl/client.h>

#include "adopt.h"
#include "com_object.h"

#include "com_enumerators.h"

namespace virtual_camera {
namespace {

class StubFilter : public Counted<IBaseFilter> {
 public:
  StubFilter(const CLSID& clsid, std::shared_ptr<std::atomic<int>> alive) : clsid_(clsid), alive_(std::move(alive)) {
    ++*alive_;
  }

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IPersist || riid == IID_IMediaFilter) return Answer(IID_IBaseFilter, IID_IBaseFilter, out);
    return Answer(riid, IID_IBaseFilter, out);
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
  ~StubFilter() override { --*alive_; }
  CLSID clsid_;
  std::shared_ptr<std::atomic<int>> alive_;
  FILTER_STATE state_ = State_Stopped;
  IFilterGraph* graph_ = nullptr;
  wchar_t name_[MAX_FILTER_NAME] = {};
};

// The outer object of a platform object that it aggregates, so that every reference to any of the
// platform object's interfaces is counted here and its end is seen.
class Aggregate : public IUnknown {
 public:
  explicit Aggregate(std::shared_ptr<std::atomic<int>> alive) : alive_(std::move(alive)) { ++*alive_; }

  HRESULT Create(IClassFactory* system) {
    return system->CreateInstance(this, IID_IUnknown, reinterpret_cast<void**>(&inner_));
  }
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (riid == IID_IUnknown) {
      *out = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    if (inner_ == nullptr) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    return inner_->QueryInterface(riid, out);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --refs_;
    if (left == 0) {
      refs_ = 1;  // the inner object may still call back while it goes
      delete this;
    }
    return left;
  }

 private:
  virtual ~Aggregate() {
    if (inner_ != nullptr) inner_->Release();
    --*alive_;
  }
  std::atomic<ULONG> refs_{1};
  IUnknown* inner_ = nullptr;  // the platform object's own, non-delegating IUnknown
  std::shared_ptr<std::atomic<int>> alive_;
};

}  // namespace

ClassOverride::ClassOverride(const CLSID& clsid, Kind kind, HRESULT failure)
    : created_(std::make_shared<std::atomic<int>>(0)), alive_(std::make_shared<std::atomic<int>>(0)) {
  auto created = created_;
  auto alive = alive_;
  Microsoft::WRL::ComPtr<IClassFactory> factory = Adopt<IClassFactory>(
      new FunctionFactory([clsid, kind, failure, created, alive](REFIID riid, void** out) -> HRESULT {
        if (kind == kFails) return failure;
        ++*created;
        return Adopt<IBaseFilter>(new StubFilter(clsid, alive))->QueryInterface(riid, out);
      }));
  Register(clsid, factory.Get());
}

ClassOverride::ClassOverride(const CLSID& clsid, const CLSID& served_by)
    : created_(std::make_shared<std::atomic<int>>(0)), alive_(std::make_shared<std::atomic<int>>(0)) {
  auto created = created_;
  auto alive = alive_;
  // The system's factory, fetched before ours can hide it (served_by may be clsid itself).
  Microsoft::WRL::ComPtr<IClassFactory> system;
  if (FAILED(CoGetClassObject(served_by, CLSCTX_INPROC_SERVER, nullptr, IID_PPV_ARGS(&system)))) {
    ADD_FAILURE() << "the platform has no class to serve with";
    return;
  }
  Microsoft::WRL::ComPtr<IClassFactory> factory =
      Adopt<IClassFactory>(new FunctionFactory([system, created, alive](REFIID riid, void** out) -> HRESULT {
        Microsoft::WRL::ComPtr<Aggregate> outer = Adopt(new Aggregate(alive));
        HRESULT hr = outer->Create(system.Get());
        if (SUCCEEDED(hr)) hr = outer->QueryInterface(riid, out);
        if (SUCCEEDED(hr)) ++*created;
        return hr;
      }));
  Register(clsid, factory.Get());
}

void ClassOverride::Register(const CLSID& clsid, IClassFactory* factory) {
  HRESULT hr = CoRegisterClassObject(clsid, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_);
  if (FAILED(hr)) {
    ADD_FAILURE() << "cannot override a class: " << std::hex << hr;
    cookie_ = 0;
  }
}

ClassOverride::~ClassOverride() {
  if (cookie_ != 0) CoRevokeClassObject(cookie_);
}

}  // namespace virtual_camera
