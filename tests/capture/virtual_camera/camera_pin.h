// The virtual camera's capture pin: format negotiation, stream configuration, the pin category, and the
// streaming thread that delivers test patterns through the downstream allocator. Graph calls arrive on
// the test's thread (or the graph's); frames leave on the pin's own thread.
#pragma once

#include <dshow.h>
#include <wrl/client.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "camera_config.h"

namespace virtual_camera {

class CameraFilter;

class CameraPin : public IPin, public IAMStreamConfig, public IKsPropertySet {
 public:
  CameraPin(CameraFilter* filter, std::shared_ptr<const CameraConfig> config, std::shared_ptr<CameraStats> stats);
  ~CameraPin();
  CameraPin(const CameraPin&) = delete;
  CameraPin& operator=(const CameraPin&) = delete;

  // The filter's state changes.
  HRESULT Activate();
  HRESULT StartStreaming();
  void PauseStreaming();
  void Deactivate();

  // IUnknown, sharing the filter's reference count.
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IPin
  STDMETHODIMP Connect(IPin* receive, const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP Disconnect() override;
  STDMETHODIMP ConnectedTo(IPin** pin) override;
  STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
  STDMETHODIMP QueryDirection(PIN_DIRECTION* direction) override;
  STDMETHODIMP QueryId(LPWSTR* id) override;
  STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
  STDMETHODIMP QueryInternalConnections(IPin** pins, ULONG* count) override;
  STDMETHODIMP EndOfStream() override;
  STDMETHODIMP BeginFlush() override;
  STDMETHODIMP EndFlush() override;
  STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  // IAMStreamConfig
  STDMETHODIMP SetFormat(AM_MEDIA_TYPE* type) override;
  STDMETHODIMP GetFormat(AM_MEDIA_TYPE** type) override;
  STDMETHODIMP GetNumberOfCapabilities(int* count, int* size) override;
  STDMETHODIMP GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override;

  // IKsPropertySet
  STDMETHODIMP Set(REFGUID set, DWORD id, void* instance, DWORD instance_size, void* data, DWORD size) override;
  STDMETHODIMP Get(REFGUID set, DWORD id, void* instance, DWORD instance_size, void* data, DWORD size,
                   DWORD* returned) override;
  STDMETHODIMP QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

 private:
  HRESULT TryConnection(IPin* receive, const AM_MEDIA_TYPE& type, const Capability& cap);
  HRESULT DecideAllocator(IPin* receive, const Capability& cap);
  void ReleaseConnection();
  void StopThread();
  void Stream(Microsoft::WRL::ComPtr<IMemAllocator> allocator, Microsoft::WRL::ComPtr<IMemInputPin> input,
              int cap_index);

  CameraFilter* filter_;  // owns this pin
  std::shared_ptr<const CameraConfig> config_;
  std::shared_ptr<CameraStats> stats_;

  std::recursive_mutex mutex_;  // connection and format; the graph may call back while we connect
  Microsoft::WRL::ComPtr<IPin> peer_;
  Microsoft::WRL::ComPtr<IMemInputPin> input_;
  Microsoft::WRL::ComPtr<IMemAllocator> allocator_;
  AM_MEDIA_TYPE connected_type_ = {};
  int connected_cap_ = -1;
  int chosen_cap_ = -1;  // set by SetFormat: from then on the pin offers only this format

  // Left behind by failed GetStreamCaps calls; each flag says whether the media type was freed.
  struct StrayType {
    AM_MEDIA_TYPE* type;
    std::shared_ptr<std::atomic<bool>> freed;
  };
  std::vector<StrayType> stray_types_;

  std::thread thread_;
  HANDLE stop_event_;
  std::atomic<bool> delivering_{false};
};

}  // namespace virtual_camera
