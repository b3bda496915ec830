// Load and concurrency, for each format cameras deliver: open, start at the camera's fastest rate and
// close, 500 times in a row, and several devices capturing at once. YUY2 and MJPG frames pass the
// platform's AVI decompressor and the test codec. No crash, no frame after close, and handles, memory,
// camera filters and codec instances back to their level.
#include <windows.h>
// psapi.h needs windows.h first.
#include <psapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>

#include "camera_converters.h"
#include "capture_fixture.h"
#include "test_codec.h"
#include "virtual_camera.h"

namespace capture_tests {
namespace {

using test_codec::TestCodec;
using virtual_camera::CameraConfig;
using virtual_camera::Capability;
using virtual_camera::FourCC;
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

struct CameraFormat {
  const char* name;
  DWORD fourcc;
};

void PrintTo(const CameraFormat& format, std::ostream* out) { *out << format.name; }

class CaptureLoad : public ::testing::TestWithParam<CameraFormat> {
 protected:
  DWORD fourcc() const { return GetParam().fourcc; }
  CameraConfig FastCamera(const wchar_t* name) const {
    CameraConfig config;
    config.friendlyName = name;
    // No pause between frames.
    if (fourcc() == FourCC('Y', 'U', 'Y', '2')) {
      config.caps = {virtual_camera::Yuy2(160, 120, 0)};
    } else if (fourcc() == FourCC('M', 'J', 'P', 'G')) {
      config.caps = {virtual_camera::Mjpg(160, 120, 0)};
    } else {
      config.caps = {virtual_camera::Rgb32(160, 120, 0)};
    }
    return config;
  }

  ScopedCom com_;
  test_codec::CameraConverters converters_;  // RGB32 connects straight to the grabber without them
};

TEST_P(CaptureLoad, OpensStartsAndCloses500TimesWithoutGrowing) {
  VirtualCamera camera(FastCamera(L"Fast"));
  ds_capture_device device = ListedRecord();
  FrameSink& sink = Sink(0);
  sink.Reset(160, 120, fourcc());
  ds_frame_callback callback = {SinkFunction(0)};
  const ds_format request = {160, 120, fourcc()};
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
  std::printf(
      "%s: %d frames; handles %lu -> %lu, private bytes %lu -> %lu; alive: %d camera filters, %d MJPEG "
      "decompressors, %d codec instances\n",
      GetParam().name, sink.frames.load(), start.handles, end.handles, static_cast<unsigned long>(start.private_bytes),
      static_cast<unsigned long>(end.private_bytes), camera.stats().filtersAlive.load(),
      converters_.decompressorsAlive(), TestCodec::OpenInstances());
  EXPECT_EQ(0, late);
  EXPECT_EQ(0, sink.bad) << sink.first_problem;
  EXPECT_GT(camera.stats().framesSent, 0);
  EXPECT_EQ(0, camera.stats().filtersAlive);
  EXPECT_EQ(0, converters_.decompressorsAlive());
  EXPECT_EQ(0, TestCodec::OpenInstances());
  EXPECT_EQ(0, ds_num_open_devices());
  EXPECT_LE(end.handles, start.handles + 16) << "handles " << start.handles << " -> " << end.handles;
  EXPECT_LE(end.private_bytes, start.private_bytes + 4 * 1024 * 1024)
      << "private bytes " << start.private_bytes << " -> " << end.private_bytes;
}

TEST_P(CaptureLoad, CapturesFromSeveralDevicesAtOnce) {
  const wchar_t* names[] = {L"Cam 0", L"Cam 1", L"Cam 2", L"Cam 3"};
  std::vector<std::unique_ptr<VirtualCamera>> cameras;
  for (const wchar_t* name : names) cameras.push_back(std::make_unique<VirtualCamera>(FastCamera(name)));
  ds_capture_device devices[4];
  ds_frame_callback callbacks[4];
  uint32_t count = 4;
  ASSERT_EQ(0, ds_list_devices(devices, &count));
  ASSERT_EQ(4u, count);
  const ds_format request = {160, 120, fourcc()};
  for (int i = 0; i < 4; ++i) {
    Sink(i).Reset(160, 120, fourcc());
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
  EXPECT_EQ(0, converters_.decompressorsAlive());
  EXPECT_EQ(0, TestCodec::OpenInstances());
  EXPECT_EQ(0, ds_num_open_devices());
}

INSTANTIATE_TEST_SUITE_P(Formats, CaptureLoad,
                         ::testing::Values(CameraFormat{"RGB32", 0}, CameraFormat{"YUY2", FourCC('Y', 'U', 'Y', '2')},
                                           CameraFormat{"MJPG", FourCC('M', 'J', 'P', 'G')}),
                         [](const ::testing::TestParamInfo<CameraFormat>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace capture_tests
