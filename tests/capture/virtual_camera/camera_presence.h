// Whether a virtual camera is plugged in and free, as a real device may not be: another program can
// hold it, and it can be unplugged while it streams. Changed on the test's thread; the camera's
// filters consult it from whatever thread the graph calls them on.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace virtual_camera {

class CameraFilter;

// What a device's Pause and Run answer while another program holds it.
constexpr HRESULT kDeviceInUse = static_cast<HRESULT>(0x8007001F);  // ERROR_GEN_FAILURE
// What a filter whose device is gone answers, and its class while the device is unplugged.
constexpr HRESULT kDeviceGone = static_cast<HRESULT>(0x8007048F);  // ERROR_DEVICE_NOT_CONNECTED

class CameraPresence {
 public:
  bool plugged() const { return plugged_; }
  bool held() const { return held_; }
  void SetHeld(bool held) { held_ = held; }

  // Every filter of the camera stops streaming and tells its graph that the device is lost.
  void Unplug();
  // Filters created from now on work again; those that lost the device stay lost.
  void PlugIn() { plugged_ = true; }

  // A filter is reachable by Unplug from its construction to its destruction.
  void Add(CameraFilter* filter);
  void Remove(CameraFilter* filter);

 private:
  std::atomic<bool> plugged_{true};
  std::atomic<bool> held_{false};
  std::mutex mutex_;
  std::vector<CameraFilter*> filters_;
};

}  // namespace virtual_camera
