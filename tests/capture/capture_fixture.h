// Shared pieces of the capture tests against virtual cameras: listing a device into a record, a test
// that owns one camera and its record, the names of the filters in a device's graph, and frame sinks
// that the streaming thread reports into.
#pragma once

#include <dshow.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "log_recorder.h"
#include "qmr_dshow.h"
#include "virtual_camera.h"

namespace capture_tests {

// The record that ds_list_devices fills for the device at this index of the enumerator.
ds_capture_device ListedRecord(size_t index = 0);

// One virtual camera listed into device_ for a test; a record the test left open is closed at the end.
class CameraRecordTest : public ::testing::Test {
 protected:
  void ListCamera(const virtual_camera::CameraConfig& config) {
    camera_ = std::make_unique<virtual_camera::VirtualCamera>(config);
    device_ = ListedRecord();
  }
  void TearDown() override {
    if (device_.capture_filter != nullptr) ds_close_device(&device_);
  }

  ScopedCom com_;
  LogRecorder log_;
  std::unique_ptr<virtual_camera::VirtualCamera> camera_;
  ds_capture_device device_ = {};
};

// The names of the filters in a record's graph, or in a graph a test holds on to.
std::vector<std::wstring> FilterNames(const ds_capture_device& device);
std::vector<std::wstring> FilterNames(IFilterGraph* graph);

// Every pointer field of a record is null.
bool AllPointersNull(const ds_capture_device& device);

// What frames reached one of the callback functions, checked against the camera's pattern: RGB32 as the
// camera made it, or YUY2 and MJPG as a converter made RGB32 of them (bottom-up, as the platform
// delivers those).
struct FrameSink {
  void Reset(LONG width, LONG height, DWORD camera_fourcc = 0);
  void Receive(void* bytes, long size);
  // Waits until at least count frames arrived.
  bool WaitFor(int count, DWORD milliseconds = 10000) const;
  // Counts the camera's frames from now on, for ExpectEveryFrameDelivered once the device is closed.
  void Follow(const virtual_camera::CameraStats& stats);
  // Every frame the followed camera sent since Follow reached the sink, but for one in flight at the
  // start and one at the close. Does nothing when no camera is followed.
  void ExpectEveryFrameDelivered() const;

  std::atomic<int> frames{0};
  std::atomic<int> bad{0};          // wrong size or pattern
  std::atomic<int> after_close{0};  // arrived while closed was set
  std::atomic<bool> closed{false};
  std::atomic<long> last_size{0};
  std::atomic<DWORD> last_thread{0};
  const virtual_camera::CameraStats* followed = nullptr;
  int sent_before = 0;
  LONG width = 0;
  LONG height = 0;
  DWORD camera_fourcc = 0;
  bool check_pattern = true;
  bool keep_last = false;  // copy each frame into last_frame
  std::mutex mutex;
  std::string first_problem;
  std::vector<uint32_t> counters;
  std::vector<BYTE> last_frame;
};

// Four independent sinks, each with its own cdecl frame function for a ds_frame_callback record.
FrameSink& Sink(int index);
ds_frame_function SinkFunction(int index);

}  // namespace capture_tests
