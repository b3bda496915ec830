// Capture under the faults of real devices: a camera that another program holds, and a camera
// unplugged while it streams. Each case can take the process down when the library gets it wrong, so
// each runs in a process of its own.
#include <gtest/gtest.h>
#include <windows.h>

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

}  // namespace
}  // namespace capture_tests
