#include "camera_pin.h"

#include <string.h>
#include <wchar.h>

#include "camera_filter.h"
#include "com_enumerators.h"
#include "com_object.h"
#include "frame_pattern.h"
#include "media_types.h"

using Microsoft::WRL::ComPtr;

namespace virtual_camera {
namespace {

const wchar_t kPinName[] = L"Capture";

// The pUnk of a media type left behind by a failed GetStreamCaps: freeing that media type releases it,
// which the camera counts unless the camera itself is the one cleaning up.
class StrayWitness : public Counted<IUnknown> {
 public:
  StrayWitness(std::shared_ptr<CameraStats> stats, std::shared_ptr<std::atomic<bool>> freed)
      : stats_(std::move(stats)), freed_(std::move(freed)) {}
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override { return Answer(riid, IID_IUnknown, out); }

 private:
  ~StrayWitness() override {
    if (!freed_->exchange(true)) ++stats_->strayTypesFreed;
  }
  std::shared_ptr<CameraStats> stats_;
  std::shared_ptr<std::atomic<bool>> freed_;
};

}  // namespace

CameraPin::CameraPin(CameraFilter* filter, std::shared_ptr<const CameraConfig> config,
                     std::shared_ptr<CameraStats> stats)
    : filter_(filter),
      config_(std::move(config)),
      stats_(std::move(stats)),
      stop_event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CameraPin::~CameraPin() {
  StopThread();
  ReleaseConnection();
  CloseHandle(stop_event_);
  for (StrayType& stray : stray_types_) {
    if (!stray.freed->exchange(true)) DeleteMediaTypeBlock(stray.type);
  }
}

STDMETHODIMP CameraPin::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IPin) {
    *out = static_cast<IPin*>(this);
  } else if (riid == IID_IAMStreamConfig) {
    *out = static_cast<IAMStreamConfig*>(this);
  } else if (riid == IID_IKsPropertySet) {
    *out = static_cast<IKsPropertySet*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CameraPin::AddRef() { return filter_->AddRef(); }
STDMETHODIMP_(ULONG) CameraPin::Release() { return filter_->Release(); }

// --- connection ---

STDMETHODIMP CameraPin::Connect(IPin* receive, const AM_MEDIA_TYPE* type) {
  if (receive == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (peer_) return VFW_E_ALREADY_CONNECTED;
  if (filter_->state() != State_Stopped) return VFW_E_NOT_STOPPED;
  const std::vector<Capability>& caps = config_->caps;
  for (size_t i = 0; i < caps.size(); ++i) {
    if (chosen_cap_ >= 0 && static_cast<int>(i) != chosen_cap_) continue;
    if (!Connectable(caps[i])) continue;
    AM_MEDIA_TYPE offer;
    FillMediaType(caps[i], &offer);
    HRESULT hr = E_FAIL;
    if (type == nullptr || Admits(*type, offer)) hr = TryConnection(receive, offer, caps[i]);
    FreeMediaTypeContents(&offer);
    if (SUCCEEDED(hr)) {
      connected_cap_ = static_cast<int>(i);
      return S_OK;
    }
  }
  return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT CameraPin::TryConnection(IPin* receive, const AM_MEDIA_TYPE& type, const Capability& cap) {
  HRESULT hr = receive->ReceiveConnection(this, &type);
  if (FAILED(hr)) return hr;
  peer_ = receive;
  hr = CopyMediaTypeInto(type, &connected_type_);
  if (SUCCEEDED(hr)) hr = DecideAllocator(receive, cap);
  if (FAILED(hr)) {
    receive->Disconnect();
    ReleaseConnection();
  }
  return hr;
}

HRESULT CameraPin::DecideAllocator(IPin* receive, const Capability& cap) {
  ComPtr<IMemInputPin> input;
  HRESULT hr = receive->QueryInterface(IID_PPV_ARGS(&input));
  if (FAILED(hr)) return hr;
  ALLOCATOR_PROPERTIES wanted = {};
  input->GetAllocatorRequirements(&wanted);
  ComPtr<IMemAllocator> allocator;
  if (FAILED(input->GetAllocator(&allocator))) {
    hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&allocator));
    if (FAILED(hr)) return hr;
  }
  const LONG size = static_cast<LONG>(connected_type_.lSampleSize + cap.extraSampleBytes);
  wanted.cBuffers = wanted.cBuffers > 3 ? wanted.cBuffers : 3;
  wanted.cbBuffer = wanted.cbBuffer > size ? wanted.cbBuffer : size;
  wanted.cbAlign = wanted.cbAlign > 0 ? wanted.cbAlign : 1;
  ALLOCATOR_PROPERTIES actual = {};
  hr = allocator->SetProperties(&wanted, &actual);
  if (FAILED(hr)) return hr;
  if (actual.cbBuffer < size) return E_FAIL;
  hr = input->NotifyAllocator(allocator.Get(), FALSE);
  if (FAILED(hr)) return hr;
  input_ = input;
  allocator_ = allocator;
  return S_OK;
}

void CameraPin::ReleaseConnection() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  peer_.Reset();
  input_.Reset();
  allocator_.Reset();
  FreeMediaTypeContents(&connected_type_);
  memset(&connected_type_, 0, sizeof connected_type_);
  connected_cap_ = -1;
}

STDMETHODIMP CameraPin::ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) { return E_UNEXPECTED; }

STDMETHODIMP CameraPin::Disconnect() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!peer_) return S_FALSE;
  if (filter_->state() != State_Stopped) return VFW_E_NOT_STOPPED;
  ReleaseConnection();
  return S_OK;
}

STDMETHODIMP CameraPin::ConnectedTo(IPin** pin) {
  if (pin == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  *pin = peer_.Get();
  if (!peer_) return VFW_E_NOT_CONNECTED;
  peer_->AddRef();
  return S_OK;
}

STDMETHODIMP CameraPin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!peer_) {
    memset(type, 0, sizeof *type);
    return VFW_E_NOT_CONNECTED;
  }
  return CopyMediaTypeInto(connected_type_, type);
}

STDMETHODIMP CameraPin::QueryPinInfo(PIN_INFO* info) {
  if (info == nullptr) return E_POINTER;
  info->pFilter = filter_;
  filter_->AddRef();
  info->dir = PINDIR_OUTPUT;
  wcscpy(info->achName, kPinName);
  return S_OK;
}

STDMETHODIMP CameraPin::QueryDirection(PIN_DIRECTION* direction) {
  if (direction == nullptr) return E_POINTER;
  *direction = PINDIR_OUTPUT;
  return S_OK;
}

STDMETHODIMP CameraPin::QueryId(LPWSTR* id) {
  if (id == nullptr) return E_POINTER;
  *id = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof kPinName));
  if (*id == nullptr) return E_OUTOFMEMORY;
  memcpy(*id, kPinName, sizeof kPinName);
  return S_OK;
}

STDMETHODIMP CameraPin::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  for (const Capability& cap : config_->caps) {
    if (Connectable(cap) && DescribesCapability(*type, cap)) return S_OK;
  }
  return S_FALSE;
}

STDMETHODIMP CameraPin::EnumMediaTypes(IEnumMediaTypes** types) {
  if (types == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::vector<AM_MEDIA_TYPE> offers;
  for (size_t i = 0; i < config_->caps.size(); ++i) {
    if (chosen_cap_ >= 0 && static_cast<int>(i) != chosen_cap_) continue;
    if (!Connectable(config_->caps[i])) continue;
    offers.emplace_back();
    FillMediaType(config_->caps[i], &offers.back());
  }
  *types = new MediaTypeEnumerator(std::move(offers));
  return S_OK;
}

STDMETHODIMP CameraPin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }
STDMETHODIMP CameraPin::EndOfStream() { return E_UNEXPECTED; }
STDMETHODIMP CameraPin::BeginFlush() { return E_UNEXPECTED; }
STDMETHODIMP CameraPin::EndFlush() { return E_UNEXPECTED; }
STDMETHODIMP CameraPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

// --- stream configuration ---

STDMETHODIMP CameraPin::SetFormat(AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  const std::vector<Capability>& caps = config_->caps;
  int index = -1;
  for (size_t i = 0; i < caps.size() && index < 0; ++i) {
    if (DescribesCapability(*type, caps[i])) index = static_cast<int>(i);
  }
  if (index >= 0) stats_->RecordSetFormat({caps[index].width, caps[index].height, caps[index].compression});
  if (FAILED(config_->setFormatResult)) return config_->setFormatResult;
  if (index < 0) return VFW_E_INVALIDMEDIATYPE;
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (peer_ && index != connected_cap_) return VFW_E_NOT_STOPPED;
  chosen_cap_ = index;
  return S_OK;
}

STDMETHODIMP CameraPin::GetFormat(AM_MEDIA_TYPE** type) {
  if (type == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (config_->caps.empty()) return VFW_E_NOT_CONNECTED;
  const int index = connected_cap_ >= 0 ? connected_cap_ : (chosen_cap_ >= 0 ? chosen_cap_ : 0);
  *type = NewMediaType(config_->caps[index]);
  return *type != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CameraPin::GetNumberOfCapabilities(int* count, int* size) {
  if (count == nullptr || size == nullptr) return E_POINTER;
  *count = static_cast<int>(config_->caps.size());
  *size = config_->capsSize;
  return S_OK;
}

STDMETHODIMP CameraPin::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) {
  if (type == nullptr || caps == nullptr) return E_POINTER;
  if (index < 0 || index >= static_cast<int>(config_->caps.size())) return S_FALSE;
  const Capability& cap = config_->caps[index];
  if (cap.readFails) {
    if (cap.readLeavesType) {
      auto freed = std::make_shared<std::atomic<bool>>(false);
      AM_MEDIA_TYPE* stray = NewMediaType(cap);
      if (stray == nullptr) return E_OUTOFMEMORY;
      stray->pUnk = new StrayWitness(stats_, freed);
      std::lock_guard<std::recursive_mutex> lock(mutex_);
      stray_types_.push_back({stray, freed});
      ++stats_->strayTypesLeft;
      *type = stray;
    }
    return E_FAIL;
  }
  auto* scc = reinterpret_cast<VIDEO_STREAM_CONFIG_CAPS*>(caps);
  memset(scc, 0, sizeof *scc);
  scc->guid = cap.formatType;
  scc->InputSize = scc->MinCroppingSize = scc->MaxCroppingSize = scc->MinOutputSize =
      scc->MaxOutputSize = {cap.width, cap.height};
  scc->MinFrameInterval = scc->MaxFrameInterval = cap.frameInterval;
  *type = NewMediaType(cap);
  return *type != nullptr ? S_OK : E_OUTOFMEMORY;
}

// --- pin category ---

STDMETHODIMP CameraPin::Set(REFGUID, DWORD, void*, DWORD, void*, DWORD) { return E_PROP_ID_UNSUPPORTED; }

STDMETHODIMP CameraPin::Get(REFGUID set, DWORD id, void*, DWORD, void* data, DWORD size, DWORD* returned) {
  if (set != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
  if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  if (returned != nullptr) *returned = sizeof(GUID);
  if (data == nullptr) return returned != nullptr ? S_OK : E_POINTER;
  if (size < sizeof(GUID)) return E_UNEXPECTED;
  *static_cast<GUID*>(data) = PIN_CATEGORY_CAPTURE;
  return S_OK;
}

STDMETHODIMP CameraPin::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
  if (set != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
  if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  if (support != nullptr) *support = KSPROPERTY_SUPPORT_GET;
  return S_OK;
}

// --- streaming ---

HRESULT CameraPin::Activate() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return allocator_ ? allocator_->Commit() : S_OK;
}

HRESULT CameraPin::StartStreaming() {
  delivering_ = true;
  if (thread_.joinable()) return S_OK;
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!allocator_ || !input_) return S_OK;  // unconnected: a source with nothing to feed
  ResetEvent(stop_event_);
  thread_ = std::thread(&CameraPin::Stream, this, allocator_, input_, connected_cap_);
  return S_OK;
}

void CameraPin::PauseStreaming() { delivering_ = false; }

void CameraPin::StopThread() {
  delivering_ = false;
  if (!thread_.joinable()) return;
  SetEvent(stop_event_);
  {
    // Wakes a thread that waits for a free buffer.
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (allocator_) allocator_->Decommit();
  }
  thread_.join();
}

void CameraPin::Deactivate() {
  StopThread();
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (allocator_) allocator_->Decommit();
}

void CameraPin::Stream(ComPtr<IMemAllocator> allocator, ComPtr<IMemInputPin> input, int cap_index) {
  ++stats_->streaming;
  const Capability& cap = config_->caps[cap_index];
  stats_->RecordStream({cap.width, cap.height, cap.compression});
  const FrameShape shape = {cap.width, cap.height, cap.compression, ImageSize(cap)};
  const DWORD pause_ms = static_cast<DWORD>(cap.frameInterval / 10000);
  uint32_t counter = 0;
  while (WaitForSingleObject(stop_event_, 0) != WAIT_OBJECT_0) {
    if (delivering_) {
      ComPtr<IMediaSample> sample;
      if (FAILED(allocator->GetBuffer(&sample, nullptr, nullptr, 0))) break;
      BYTE* bytes = nullptr;
      const long room = static_cast<long>(shape.imageSize + cap.extraSampleBytes);
      if (SUCCEEDED(sample->GetPointer(&bytes)) && sample->GetSize() >= room) {
        const bool short_one = cap.shortSampleEvery > 0 && counter % cap.shortSampleEvery == 0;
        DWORD length = FillFrame(shape, counter++, bytes);
        if (length > 0 && cap.extraSampleBytes > 0) {
          memset(bytes + length, 0xA5, cap.extraSampleBytes);
          length += cap.extraSampleBytes;
        }
        if (length > 0 && short_one) --length;
        sample->SetActualDataLength(static_cast<long>(length));
        sample->SetSyncPoint(TRUE);
        if (length > 0 && SUCCEEDED(input->Receive(sample.Get()))) {
          ++stats_->framesSent;
          if (short_one) ++stats_->shortSamplesSent;
        }
      }
    }
    if (WaitForSingleObject(stop_event_, pause_ms) == WAIT_OBJECT_0) break;
  }
  --stats_->streaming;
}

}  // namespace virtual_camera
