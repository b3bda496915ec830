#include "camera_config.h"

namespace virtual_camera {

Capability Rgb32(LONG width, LONG height, REFERENCE_TIME interval) {
  Capability cap;
  cap.width = width;
  cap.height = height;
  cap.frameInterval = interval;
  return cap;
}

Capability Yuy2(LONG width, LONG height, REFERENCE_TIME interval) {
  Capability cap = Rgb32(width, height, interval);
  cap.compression = FourCC('Y', 'U', 'Y', '2');
  cap.bitCount = 16;
  return cap;
}

Capability Mjpg(LONG width, LONG height, REFERENCE_TIME interval) {
  Capability cap = Rgb32(width, height, interval);
  cap.compression = FourCC('M', 'J', 'P', 'G');
  cap.bitCount = 24;  // as cameras state it; a frame is as long as its JPEG
  return cap;
}

Capability Compressed(DWORD fourcc, LONG width, LONG height) {
  Capability cap = Rgb32(width, height);
  cap.compression = fourcc;
  cap.bitCount = 16;
  return cap;
}

Capability Yuv420(DWORD fourcc, LONG width, LONG height, REFERENCE_TIME interval) {
  Capability cap = Rgb32(width, height, interval);
  cap.compression = fourcc;
  cap.bitCount = 12;
  return cap;
}

void CameraStats::RecordSetFormat(const AppliedFormat& format) {
  std::lock_guard<std::mutex> lock(mutex_);
  set_format_calls_.push_back(format);
}

std::vector<AppliedFormat> CameraStats::setFormatCalls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return set_format_calls_;
}

void CameraStats::RecordStream(const AppliedFormat& format) {
  std::lock_guard<std::mutex> lock(mutex_);
  streams_.push_back(format);
}

std::vector<AppliedFormat> CameraStats::streams() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return streams_;
}

}  // namespace virtual_camera
