// The virtual camera's capture source filter: one output pin, the filter states, and the graph it
// joins. Created by the device's class factory for each BindToObject.
#pragma once

#include <dshow.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "camera_config.h"
#include "camera_pin.h"
#include "camera_presence.h"

namespace virtual_camera {

class CameraFilter : public IBaseFilter {
 public:
  CameraFilter(const CLSID& clsid, std::shared_ptr<const CameraConfig> config, std::shared_ptr<CameraStats> stats,
               std::shared_ptr<CameraPresence> presence);

  FILTER_STATE state() const { return state_; }
  // The device is gone: streaming stops, the graph hears EC_DEVICE_LOST, and the filter refuses to
  // start again.
  void LoseDevice();

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP GetClassID(CLSID* clsid) override;

  STDMETHODIMP Stop() override;
  STDMETHODIMP Pause() override;
  STDMETHODIMP Run(REFERENCE_TIME start) override;
  STDMETHODIMP GetState(DWORD timeout, FILTER_STATE* state) override;
  STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
  STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;

  STDMETHODIMP EnumPins(IEnumPins** pins) override;
  STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
  STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
  STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  STDMETHODIMP QueryVendorInfo(LPWSTR* info) override;

 private:
  virtual ~CameraFilter();

  std::atomic<ULONG> refs_{1};
  CLSID clsid_;
  std::shared_ptr<CameraStats> stats_;
  std::shared_ptr<CameraPresence> presence_;
  std::mutex mutex_;
  bool lost_ = false;
  FILTER_STATE state_ = State_Stopped;
  IFilterGraph* graph_ = nullptr;  // not counted: the graph owns the filter
  std::wstring name_;
  IReferenceClock* clock_ = nullptr;
  CameraPin pin_;
};

}  // namespace virtual_camera
