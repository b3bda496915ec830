// Makes binding one device's property bag fail. Wine's device monikers never fail BindToStorage, so
// while any StorageFailure lives, this process serves CLSID_SystemDeviceEnum itself: a thin wrapper
// around the platform's own enumerator (created before the wrapper is registered) whose monikers
// refuse BindToStorage for the marked devices and delegate everything else. Test thread only.
#pragma once

#include <windows.h>

namespace virtual_camera {

class StorageFailure {
 public:
  explicit StorageFailure(const CLSID& device);
  ~StorageFailure();
  StorageFailure(const StorageFailure&) = delete;
  StorageFailure& operator=(const StorageFailure&) = delete;

 private:
  CLSID device_;
};

}  // namespace virtual_camera
