// A virtual capture device registered for one test: a registry key under the video input category
// (CLSID, FriendlyName and the optional Description and DevicePath) and the device's filter class,
// served by this process. Both go away with the object. It can be unplugged and plugged in again, and
// held by another program and freed. Create, change and destroy on the test's thread, which has COM
// initialised.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "camera_config.h"
#include "camera_presence.h"

namespace virtual_camera {

class StorageFailure;

class VirtualCamera {
 public:
  explicit VirtualCamera(CameraConfig config = {});
  ~VirtualCamera();
  VirtualCamera(const VirtualCamera&) = delete;
  VirtualCamera& operator=(const VirtualCamera&) = delete;

  bool registered() const { return cookie_ != 0 && !key_path_.empty(); }
  const CLSID& clsid() const { return clsid_; }
  const CameraConfig& config() const { return *config_; }
  CameraStats& stats() { return *stats_; }

  // Mid-stream as a cable pulled: the camera's filters stop streaming and post EC_DEVICE_LOST to their
  // graphs, and the device leaves the category. PlugIn brings the same device back.
  void Unplug();
  void PlugIn();
  // Another program holds the device: Pause and Run of its filters refuse until it is freed.
  void Hold() { presence_->SetHeld(true); }
  void Free() { presence_->SetHeld(false); }

 private:
  bool WriteDeviceKey();

  std::shared_ptr<const CameraConfig> config_;
  std::shared_ptr<CameraStats> stats_;
  std::shared_ptr<CameraPresence> presence_;
  CLSID clsid_ = {};
  DWORD cookie_ = 0;
  std::wstring key_path_;
  std::unique_ptr<StorageFailure> storage_failure_;
};

// The category key under HKEY_CLASSES_ROOT whose subkeys are the video input devices.
const wchar_t* VideoInputInstanceKey();

// Removes the virtual cameras that processes which have ended left in the category (a test that
// crashed never unregisters its own), so that one crash is blamed on one test and not on the suites
// that list devices after it. Cameras of running processes stay. Returns how many were removed.
int RemoveLeftoverCameras();

}  // namespace virtual_camera
