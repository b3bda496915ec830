// Capture under the faults of real devices: a camera that another program holds, a camera unplugged
// while it streams, and a frame function that closes its own device. Each case can take the process
// down when the library gets it wrong, so each runs in a process of its own.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>

#include "capture_fixture.h"
#include "virtual_camera.h"

namespace capture_tests {
namespace {

using virtual_camera::CameraConfig;
using virtual_camera::Rgb32;

class DeviceFault : public CameraRecordTest {
 protected:
  void SetUp() override {
    CameraConfig config;
    config.caps = {Rgb32(160, 120, 20000)};
    ListCamera(config);
    ASSERT_EQ(0, ds_open_device(&device_));
  }
  // Starts with sink 0 behind the record's callback and waits for frames.
  void StartStreaming(ds_frame_callback* callback) {
    FrameSink& sink = Sink(0);
    sink.Reset(160, 120);
    ASSERT_EQ(0, ds_start_capture(&device_, &request_, callback));
    ASSERT_TRUE(sink.WaitFor(3)) << sink.frames << " frames";
  }
  // Closes from the test's thread and checks that nothing of the device is left and nothing follows.
  void CloseCompletely(int expected_result) {
    FrameSink& sink = Sink(0);
    EXPECT_EQ(expected_result, ds_close_device(&device_));
    sink.closed = true;
    EXPECT_TRUE(AllPointersNull(device_));
    EXPECT_EQ(0, ds_is_open(&device_));
    EXPECT_EQ(0, ds_num_open_devices());
    EXPECT_EQ(0, camera_->stats().filtersAlive);
    EXPECT_EQ(0, camera_->stats().streaming);
    Sleep(100);
    EXPECT_EQ(0, sink.after_close);
  }
  // The record opens and streams again, as the caller's retry would.
  void ExpectStreamsAgain() {
    ASSERT_EQ(0, ds_open_device(&device_));
    ds_frame_callback callback = {SinkFunction(0)};
    StartStreaming(&callback);
    EXPECT_EQ(0, Sink(0).bad) << Sink(0).first_problem;
    CloseCompletely(0);
  }

  const ds_format request_ = {160, 120, 0};
};

TEST_F(DeviceFault, StartOfAHeldCameraFailsAtTheRunStepAndSucceedsOnceItIsFree) {
  camera_->Hold();
  ds_frame_callback callback = {SinkFunction(0)};
  Sink(0).Reset(160, 120);
  EXPECT_EQ(-9, ds_start_capture(&device_, &request_, &callback));
  EXPECT_EQ(0, camera_->stats().framesSent);
  // The graph that never ran may refuse to stop as well; close still releases everything.
  const int result = ds_close_device(&device_);
  EXPECT_EQ(0, result & ~0x01) << result;
  EXPECT_TRUE(AllPointersNull(device_));
  EXPECT_EQ(0, camera_->stats().filtersAlive);
  EXPECT_EQ(0, ds_num_open_devices());

  camera_->Free();
  ExpectStreamsAgain();
}

TEST_F(DeviceFault, CloseAfterAnUnplugIsPromptReleasesEverythingAndSaysTheDeviceWasLost) {
  ds_frame_callback callback = {SinkFunction(0)};
  StartStreaming(&callback);
  camera_->Unplug();
  const int frames_at_unplug = Sink(0).frames;
  Sleep(200);
  EXPECT_EQ(frames_at_unplug, Sink(0).frames) << "frames after the unplug";
  ds_capture_device listed[2] = {};
  uint32_t count = 2;
  ds_list_devices(listed, &count);  // 1: the category has no device left to enumerate
  EXPECT_EQ(0u, count) << "the unplugged camera is still listed";

  log_.Clear();
  const DWORD start = GetTickCount();
  CloseCompletely(0);
  EXPECT_LT(GetTickCount() - start, 3000u) << "close waited on a device that is gone";
  EXPECT_TRUE(log_.Contains(4, "Device was lost while capturing"));

  camera_->PlugIn();
  const ds_capture_device relisted = ListedRecord();
  EXPECT_EQ(std::wstring(device_.name), std::wstring(relisted.name));
  ExpectStreamsAgain();
}

// What the frame function saw when it closed its own device on the first frame.
struct CloseInFrame {
  ds_capture_device* device = nullptr;
  std::atomic<bool> tried{false};
  std::atomic<int> result{0};
  HANDLE returned = nullptr;  // set once that close has returned
};
CloseInFrame close_in_frame;

void QMR_CDECL CloseOnFirstFrame(void* bytes, long size) {
  if (!close_in_frame.tried.exchange(true)) {
    close_in_frame.result = ds_close_device(close_in_frame.device);
    SetEvent(close_in_frame.returned);
  }
  Sink(0).Receive(bytes, size);
}

TEST_F(DeviceFault, CloseFromTheFrameFunctionIsRefusedAndTheCallersCloseCompletes) {
  close_in_frame.device = &device_;
  close_in_frame.tried = false;
  close_in_frame.returned = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(nullptr, close_in_frame.returned);
  log_.Clear();
  ds_frame_callback callback = {&CloseOnFirstFrame};
  Sink(0).Reset(160, 120);
  ASSERT_EQ(0, ds_start_capture(&device_, &request_, &callback));
  // The log is read only after the streaming thread has signalled, which orders its writes before.
  const DWORD waited = WaitForSingleObject(close_in_frame.returned, 10000);
  CloseHandle(close_in_frame.returned);
  ASSERT_EQ(WAIT_OBJECT_0, waited) << "close from the frame function did not return";
  EXPECT_EQ(-1, close_in_frame.result);
  EXPECT_TRUE(log_.Contains(4, "Device cannot be closed from its own frame function"));
  EXPECT_EQ(1, ds_is_open(&device_));
  // Refused means untouched: frames go on until the caller closes.
  EXPECT_TRUE(Sink(0).WaitFor(Sink(0).frames + 3));

  CloseCompletely(0);
  ExpectStreamsAgain();
}

}  // namespace
}  // namespace capture_tests
