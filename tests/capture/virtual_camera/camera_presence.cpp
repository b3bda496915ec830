#include "camera_presence.h"

#include <algorithm>

#include "camera_filter.h"

namespace virtual_camera {

void CameraPresence::Unplug() {
  plugged_ = false;
  // A filter whose last reference goes meanwhile waits in Remove, its members still intact.
  std::lock_guard<std::mutex> lock(mutex_);
  for (CameraFilter* filter : filters_) filter->LoseDevice();
}

void CameraPresence::Add(CameraFilter* filter) {
  std::lock_guard<std::mutex> lock(mutex_);
  filters_.push_back(filter);
}

void CameraPresence::Remove(CameraFilter* filter) {
  std::lock_guard<std::mutex> lock(mutex_);
  filters_.erase(std::remove(filters_.begin(), filters_.end(), filter), filters_.end());
}

}  // namespace virtual_camera
