#include "camera_filter.h"

#include <wchar.h>
#include <wrl/client.h>

#include "com_enumerators.h"

namespace virtual_camera {

CameraFilter::CameraFilter(const CLSID& clsid, std::shared_ptr<const CameraConfig> config,
                           std::shared_ptr<CameraStats> stats, std::shared_ptr<CameraPresence> presence)
    : clsid_(clsid), stats_(stats), presence_(std::move(presence)), pin_(this, config, stats) {
  ++stats_->filtersCreated;
  ++stats_->filtersAlive;
  presence_->Add(this);
}

CameraFilter::~CameraFilter() {
  presence_->Remove(this);
  pin_.Deactivate();
  if (clock_ != nullptr) clock_->Release();
  --stats_->filtersAlive;
}

STDMETHODIMP CameraFilter::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IPersist || riid == IID_IMediaFilter || riid == IID_IBaseFilter) {
    *out = static_cast<IBaseFilter*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CameraFilter::AddRef() { return ++refs_; }

STDMETHODIMP_(ULONG) CameraFilter::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP CameraFilter::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = clsid_;
  return S_OK;
}

STDMETHODIMP CameraFilter::Stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  pin_.Deactivate();
  state_ = State_Stopped;
  return S_OK;
}

void CameraFilter::LoseDevice() {
  Microsoft::WRL::ComPtr<IMediaEventSink> sink;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (lost_) return;
    lost_ = true;
    pin_.Deactivate();
    if (graph_ != nullptr) graph_->QueryInterface(IID_PPV_ARGS(&sink));
  }
  // The filter's own address, not counted, as a device's filter reports itself.
  if (sink) sink->Notify(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)), 0);
}

STDMETHODIMP CameraFilter::Pause() {
  std::lock_guard<std::mutex> lock(mutex_);
  // Only starting needs the device: a lost one still pauses on its way to stop.
  if (state_ == State_Stopped && lost_) return kDeviceGone;
  if (state_ == State_Stopped && presence_->held()) return kDeviceInUse;
  if (state_ == State_Stopped) {
    HRESULT hr = pin_.Activate();
    if (FAILED(hr)) return hr;
  } else if (state_ == State_Running) {
    pin_.PauseStreaming();
  }
  state_ = State_Paused;
  // A live source has nothing to show before it runs.
  return VFW_S_CANT_CUE;
}

STDMETHODIMP CameraFilter::Run(REFERENCE_TIME) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (lost_) return kDeviceGone;
  if (presence_->held()) return kDeviceInUse;
  if (state_ == State_Stopped) {
    HRESULT hr = pin_.Activate();
    if (FAILED(hr)) return hr;
  }
  HRESULT hr = pin_.StartStreaming();
  if (FAILED(hr)) return hr;
  state_ = State_Running;
  return S_OK;
}

STDMETHODIMP CameraFilter::GetState(DWORD, FILTER_STATE* state) {
  if (state == nullptr) return E_POINTER;
  *state = state_;
  return state_ == State_Paused ? VFW_S_CANT_CUE : S_OK;
}

STDMETHODIMP CameraFilter::SetSyncSource(IReferenceClock* clock) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (clock != nullptr) clock->AddRef();
  if (clock_ != nullptr) clock_->Release();
  clock_ = clock;
  return S_OK;
}

STDMETHODIMP CameraFilter::GetSyncSource(IReferenceClock** clock) {
  if (clock == nullptr) return E_POINTER;
  std::lock_guard<std::mutex> lock(mutex_);
  *clock = clock_;
  if (clock_ != nullptr) clock_->AddRef();
  return S_OK;
}

STDMETHODIMP CameraFilter::EnumPins(IEnumPins** pins) {
  if (pins == nullptr) return E_POINTER;
  *pins = new PinEnumerator({Microsoft::WRL::ComPtr<IPin>(&pin_)});
  return S_OK;
}

STDMETHODIMP CameraFilter::FindPin(LPCWSTR id, IPin** pin) {
  if (id == nullptr || pin == nullptr) return E_POINTER;
  if (wcscmp(id, L"Capture") != 0) {
    *pin = nullptr;
    return VFW_E_NOT_FOUND;
  }
  *pin = &pin_;
  pin_.AddRef();
  return S_OK;
}

STDMETHODIMP CameraFilter::QueryFilterInfo(FILTER_INFO* info) {
  if (info == nullptr) return E_POINTER;
  std::lock_guard<std::mutex> lock(mutex_);
  wcsncpy(info->achName, name_.c_str(), MAX_FILTER_NAME - 1);
  info->achName[MAX_FILTER_NAME - 1] = L'\0';
  info->pGraph = graph_;
  if (graph_ != nullptr) graph_->AddRef();
  return S_OK;
}

STDMETHODIMP CameraFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  std::lock_guard<std::mutex> lock(mutex_);
  graph_ = graph;
  name_ = name != nullptr ? name : L"";
  return S_OK;
}

STDMETHODIMP CameraFilter::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }

}  // namespace virtual_camera
