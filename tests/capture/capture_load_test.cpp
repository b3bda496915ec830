// Load and concurrency: open, start at the camera's fastest rate and close, 500 times in a row, and
// several devices capturing at once. No crash, no frame after close, handles and memory back to level.
#include <windows.h>
// psapi.h needs windows.h first.
#include <psapi.h>

#include <gtest/gtest.h>

#include "capture_fixture.h"
#include "virtual_camera.h"

namespace capture_tests {
namespace {

using virtual_camera::CameraConfig;
using virtual_camera::Rgb32;
using virtual_camera::VirtualCamera;

struct Usage {
  DWORD handles;
  SIZE_T private_bytes;
};

Usage Measure() {
  Usage usage = {};
  GetProcessHandleCount(GetCurrentProcess(), &usage.handles);
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  usage.private_bytes = counters.PagefileUsage;
  return usage;
}

CameraConfig FastCamera(const wchar_t* name) {
  CameraConfig config;
  config.friendlyName = name;
  config.caps = {Rgb32(160, 120, 0)};  // no pause between frames
  return config;
}

TEST(CaptureLoad, OpensStartsAndCloses500TimesWithoutGrowing) {
  ScopedCom com;
  VirtualCamera camera(FastCamera(L"Fast"));
  ds_capture_device device = ListedRecord();
  FrameSink& sink = Sink(0);
  sink.Reset(160, 120);
  ds_frame_callback callback = {SinkFunction(0)};
  const ds_format request = {160, 120, 0};
  Usage start = {};
  int late = 0;
  for (int round = 0; round < 500; ++round) {
    if (round == 20) start = Measure();  // after the platform's one-time allocations
    ASSERT_EQ(0, ds_open_device(&device)) << round;
    sink.closed = false;
    ASSERT_EQ(0, ds_start_capture(&device, &request, &callback)) << round;
    if (round % 50 == 0) {
      EXPECT_TRUE(sink.WaitFor(sink.frames + 1)) << round;
    }
    ASSERT_EQ(0, ds_close_device(&device)) << round;
    sink.closed = true;
    late += sink.after_close.exchange(0);
  }
  Sleep(50);
  late += sink.after_close;
  const Usage end = Measure();
  EXPECT_EQ(0, late);
  EXPECT_EQ(0, sink.bad) << sink.first_problem;
  EXPECT_GT(camera.stats().framesSent, 0);
  EXPECT_EQ(0, camera.stats().filtersAlive);
  EXPECT_EQ(0, ds_num_open_devices());
  EXPECT_LE(end.handles, start.handles + 16) << "handles " << start.handles << " -> " << end.handles;
  EXPECT_LE(end.private_bytes, start.private_bytes + 4 * 1024 * 1024)
      << "private bytes " << start.private_bytes << " -> " << end.private_bytes;
}

TEST(CaptureLoad, CapturesFromSeveralDevicesAtOnce) {
  ScopedCom com;
  const wchar_t* names[] = {L"Cam 0", L"Cam 1", L"Cam 2", L"Cam 3"};
  std::vector<std::unique_ptr<VirtualCamera>> cameras;
  for (const wchar_t* name : names) cameras.push_back(std::make_unique<VirtualCamera>(FastCamera(name)));
  ds_capture_device devices[4];
  ds_frame_callback callbacks[4];
  uint32_t count = 4;
  ASSERT_EQ(0, ds_list_devices(devices, &count));
  ASSERT_EQ(4u, count);
  const ds_format request = {160, 120, 0};
  for (int i = 0; i < 4; ++i) {
    Sink(i).Reset(160, 120);
    callbacks[i].callback = SinkFunction(i);
    ASSERT_EQ(0, ds_open_device(&devices[i]));
    ASSERT_EQ(0, ds_start_capture(&devices[i], &request, &callbacks[i]));
  }
  EXPECT_EQ(4, ds_num_open_devices());
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(Sink(i).WaitFor(20)) << i;
  // Close in an order other than the opening one while the others keep streaming.
  for (int i : {2, 0, 3, 1}) {
    EXPECT_EQ(0, ds_close_device(&devices[i])) << i;
    Sink(i).closed = true;
  }
  Sleep(50);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(0, Sink(i).bad) << Sink(i).first_problem;
    EXPECT_EQ(0, Sink(i).after_close) << i;
    EXPECT_EQ(0, cameras[i]->stats().filtersAlive) << i;
  }
  EXPECT_EQ(0, ds_num_open_devices());
}

}  // namespace
}  // namespace capture_tests
