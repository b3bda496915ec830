// Capture under the faults of real devices and callers: a camera that another program holds, a camera
// unplugged while it streams, a graph that will not stop, frame functions that close devices, and a
// close while a frame function is held. Each case can take the process down or hang it when the
// library gets it wrong, so each runs in a process of its own.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>

#include <atomic>
#include <string>
#include <thread>

#include "capture_fixture.h"
#include "graph_interposers.h"
#include "virtual_camera.h"

namespace capture_tests {
namespace {

using virtual_camera::CameraConfig;
using virtual_camera::Rgb32;
using virtual_camera::VirtualCamera;

// A library that deadlocks leaves threads that no teardown can end: report and end the process at once
// rather than wait for the test's time limit.
void EndIfNotSignalled(HANDLE event, DWORD milliseconds, const char* what) {
  if (WaitForSingleObject(event, milliseconds) == WAIT_OBJECT_0) return;
  fprintf(stderr, "%s: not within %lu ms; ending the test program\n", what, static_cast<unsigned long>(milliseconds));
  fflush(stderr);
  TerminateProcess(GetCurrentProcess(), 3);
}

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

TEST_F(DeviceFault, CloseOfAGraphThatWillNotStopKeepsTheCallbackObjectAndDeliversNothingMore) {
  // Stop answers failure and leaves the graph running: the grabber may go on calling the object.
  ControlScript script;
  script.stop_graph = false;
  script.stop = E_FAIL;
  ScriptedControl* control = ScriptControl(&device_, script);
  control->AddRef();  // the test's own look after close
  ds_frame_callback callback = {SinkFunction(0)};
  StartStreaming(&callback);
  log_.Clear();
  const int result = ds_close_device(&device_);
  Sink(0).closed = true;
  EXPECT_EQ(0x01, result & 0x01) << result;
  EXPECT_EQ(1, control->stop_calls);
  EXPECT_TRUE(log_.Contains(4, "Frame callback kept: the graph did not stop"));
  EXPECT_TRUE(AllPointersNull(device_));
  Sleep(300);
  EXPECT_EQ(0, Sink(0).after_close);
  // The graph goes with its last reference, still running, and the camera with it.
  control->Release();
  EXPECT_EQ(0, camera_->stats().filtersAlive);
  EXPECT_EQ(0, camera_->stats().streaming);
  ExpectStreamsAgain();
}

// A frame function held inside until the test lets it go.
struct HeldFrame {
  std::atomic<bool> hold{false};
  HANDLE inside = nullptr;   // set by the frame function once it holds
  HANDLE release = nullptr;  // set by the test
  std::atomic<DWORD> returned_at{0};
};
HeldFrame held_frame;

void QMR_CDECL HoldFrame(void* bytes, long size) {
  Sink(0).Receive(bytes, size);
  if (held_frame.hold.exchange(false)) {
    SetEvent(held_frame.inside);
    WaitForSingleObject(held_frame.release, INFINITE);
    held_frame.returned_at = GetTickCount();
  }
}

TEST_F(DeviceFault, CloseWaitsForTheFrameInProgressAndNothingFollows) {
  held_frame.inside = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  held_frame.release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ds_frame_callback callback = {&HoldFrame};
  StartStreaming(&callback);
  held_frame.hold = true;
  EndIfNotSignalled(held_frame.inside, 10000, "the frame function was not called");
  std::thread releaser([] {
    Sleep(500);
    SetEvent(held_frame.release);
  });
  const int frames_held = Sink(0).frames;
  const int result = ds_close_device(&device_);
  const DWORD closed_at = GetTickCount();
  Sink(0).closed = true;
  releaser.join();
  EXPECT_EQ(0, result);
  ASSERT_NE(0u, held_frame.returned_at.load()) << "close returned while the frame function was held";
  EXPECT_GE(static_cast<LONG>(closed_at - held_frame.returned_at), 0);
  EXPECT_EQ(frames_held, Sink(0).frames) << "a frame after the held one";
  CloseHandle(held_frame.inside);
  CloseHandle(held_frame.release);
  CloseCompletely(2);  // closed already: what is left to check
}

// Two devices whose frame functions each close the other's device, at the same moment.
struct CrossClose {
  ds_capture_device* devices[2] = {};
  HANDLE inside[2] = {};    // each frame function is in
  HANDLE returned[2] = {};  // each close has returned
  std::atomic<bool> tried[2] = {};
  std::atomic<int> result[2] = {};
};
CrossClose cross;

template <int Own>
void QMR_CDECL CloseTheOther(void* bytes, long size) {
  Sink(Own).Receive(bytes, size);
  if (cross.tried[Own].exchange(true)) return;
  SetEvent(cross.inside[Own]);
  // Both inside their frame functions before either closes: the moment a deadlock needs.
  WaitForSingleObject(cross.inside[1 - Own], 5000);
  cross.result[Own] = ds_close_device(cross.devices[1 - Own]);
  SetEvent(cross.returned[Own]);
}

TEST_F(DeviceFault, FrameFunctionsClosingEachOthersDevicesAreRefusedWithoutADeadlock) {
  CameraConfig config;
  config.friendlyName = L"Second Camera";
  config.caps = {Rgb32(160, 120, 20000)};
  VirtualCamera second_camera(config);
  ds_capture_device second = {};
  for (size_t i = 0; i < 2; ++i) {
    const ds_capture_device listed = ListedRecord(i);
    if (std::wstring(listed.name) == L"Second Camera") second = listed;
  }
  ASSERT_EQ(std::wstring(L"Second Camera"), std::wstring(second.name));
  ASSERT_EQ(0, ds_open_device(&second));
  cross.devices[0] = &device_;
  cross.devices[1] = &second;
  for (int i = 0; i < 2; ++i) {
    cross.inside[i] = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    cross.returned[i] = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Sink(i).Reset(160, 120);
  }
  log_.Clear();
  ds_frame_callback callbacks[2] = {{&CloseTheOther<0>}, {&CloseTheOther<1>}};
  ASSERT_EQ(0, ds_start_capture(&device_, &request_, &callbacks[0]));
  ASSERT_EQ(0, ds_start_capture(&second, &request_, &callbacks[1]));
  for (int i = 0; i < 2; ++i) EndIfNotSignalled(cross.returned[i], 15000, "a close from a frame function");
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(-1, cross.result[i]) << i;
    // Refused means untouched: both devices stream on.
    EXPECT_TRUE(Sink(i).WaitFor(Sink(i).frames + 3)) << i;
  }
  EXPECT_EQ(2, log_.Count("Device cannot be closed from another device's frame function"));
  EXPECT_EQ(2, ds_num_open_devices());
  EXPECT_EQ(0, ds_close_device(&second));
  EXPECT_TRUE(AllPointersNull(second));
  for (int i = 0; i < 2; ++i) {
    CloseHandle(cross.inside[i]);
    CloseHandle(cross.returned[i]);
  }
  CloseCompletely(0);
}

}  // namespace
}  // namespace capture_tests
