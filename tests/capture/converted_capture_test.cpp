// Cameras as they come: YUY2 and MJPG frames streamed through the platform's own graph, with the
// platform's AVI decompressor converting them by the test codec. RenderStream inserts the converter
// for YUY2; for MJPG the library adds the MJPEG decompressor itself, at start or already at open.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <wrl/client.h>

#include <algorithm>

#include "camera_converters.h"
#include "camera_images.h"
#include "capture_fixture.h"
#include "formats.h"
#include "test_codec.h"
#include "virtual_camera.h"

namespace capture_tests {
namespace {

using ::testing::Contains;
using ::testing::Not;
using virtual_camera::CameraConfig;
using virtual_camera::Capability;
using virtual_camera::FourCC;
using virtual_camera::Mjpg;
using virtual_camera::Rgb32;
using virtual_camera::Yuy2;

constexpr DWORD kYuy2 = FourCC('Y', 'U', 'Y', '2');
constexpr DWORD kMjpg = FourCC('M', 'J', 'P', 'G');

class ConvertedCapture : public CameraRecordTest {
 protected:
  void SetUp() override { ASSERT_TRUE(converters_.ready()); }
  void Open(std::vector<Capability> caps) {
    CameraConfig config;
    config.caps = std::move(caps);
    ListCamera(config);
    ASSERT_EQ(0, ds_open_device(&device_));
  }
  // Closes and checks that the record, the camera and the converters are all gone.
  int Close(FrameSink* sink) {
    const int result = ds_close_device(&device_);
    sink->closed = true;
    sink->ExpectEveryFrameDelivered();
    EXPECT_TRUE(AllPointersNull(device_));
    EXPECT_EQ(0, camera_->stats().filtersAlive);
    EXPECT_EQ(0, camera_->stats().streaming);
    EXPECT_EQ(0, test_codec::TestCodec::OpenInstances());
    EXPECT_EQ(0, converters_.decompressorsAlive());
    return result;
  }
  int DecompressorsInGraph() const {
    const auto names = FilterNames(device_);
    return static_cast<int>(std::count(names.begin(), names.end(), std::wstring(L"MJPEG Decompressor")));
  }
  void ExpectGoodFrames(FrameSink& sink, int count) {
    ASSERT_TRUE(sink.WaitFor(count)) << sink.frames << " frames; codec refused "
                                     << test_codec::TestCodec::FailedFrames();
    EXPECT_EQ(0, sink.bad) << sink.first_problem;
    EXPECT_EQ(sink.width * sink.height * 4, sink.last_size);
  }

  test_codec::CameraConverters converters_;
};

TEST_F(ConvertedCapture, Yuy2CameraDeliversRgb32FramesBottomUp) {
  Open({Yuy2(320, 240, 20000)});
  FrameSink& sink = Sink(0);
  sink.Reset(320, 240, kYuy2);
  sink.Follow(camera_->stats());
  sink.keep_last = true;
  ds_frame_callback callback = {SinkFunction(0)};
  const ds_format request = {320, 240, kYuy2};
  ASSERT_EQ(0, ds_start_capture(&device_, &request, &callback));
  EXPECT_TRUE(log_.Contains(3, "Capturing using: (320x240 in format YUY2)"));
  EXPECT_THAT(FilterNames(device_), Not(Contains(L"MJPEG Decompressor")));
  ExpectGoodFrames(sink, 10);
  EXPECT_NE(GetCurrentThreadId(), sink.last_thread);
  std::vector<BYTE> frame;
  {
    std::lock_guard<std::mutex> lock(sink.mutex);
    ASSERT_GE(sink.counters.size(), 2u);
    for (size_t i = 1; i < sink.counters.size(); ++i) EXPECT_LT(sink.counters[i - 1], sink.counters[i]);
    frame = sink.last_frame;
  }
  EXPECT_EQ(0, Close(&sink));
  Sleep(100);
  EXPECT_EQ(0, sink.after_close);

  // Known pixels: the camera's top row is the buffer's last (bottom-up), colours within the tolerance.
  ASSERT_EQ(320u * 240 * 4, frame.size());
  uint32_t number = 0;
  std::string why;
  ASSERT_TRUE(virtual_camera::CheckConvertedFrame(frame.data(), static_cast<long>(frame.size()), 320, 240, kYuy2, true,
                                                  &number, &why))
      << why;
  for (const POINT& p : {POINT{200, 100}, POINT{319, 0}, POINT{7, 239}, POINT{161, 17}}) {
    double want[3];
    virtual_camera::Yuy2ExpectedRgb(p.x, p.y, number, 320, want);
    const BYTE* pixel = &frame[((239 - p.y) * 320 + p.x) * 4];
    for (int c = 0; c < 3; ++c) {
      EXPECT_NEAR(want[c], pixel[2 - c], virtual_camera::kYuy2Tolerance) << p.x << "," << p.y << " channel " << c;
    }
  }
  EXPECT_FALSE(virtual_camera::CheckConvertedFrame(frame.data(), static_cast<long>(frame.size()), 320, 240, kYuy2,
                                                   false, &number, &why));
  // ds_vflip_32 turns it top-down.
  EXPECT_EQ(0, ds_vflip_32(frame.data(), 320, 240));
  EXPECT_TRUE(virtual_camera::CheckConvertedFrame(frame.data(), static_cast<long>(frame.size()), 320, 240, kYuy2, false,
                                                  &number, &why))
      << why;
}

TEST_F(ConvertedCapture, MjpgCameraDecodesThroughTheDecompressorItAddsAtStartOrAtOpen) {
  const ds_format request = {320, 240, kMjpg};
  Open({Mjpg(320, 240, 20000)});
  FrameSink& sink = Sink(0);
  ds_frame_callback callback = {SinkFunction(0)};
  for (bool added_at_open : {false, true}) {
    SCOPED_TRACE(added_at_open ? "added at open" : "added at start");
    if (added_at_open) {
      log_.Clear();
      ASSERT_EQ(0, ds_open_device(&device_));  // the last format was MJPG
      EXPECT_TRUE(log_.Contains(5, "Adding MJPEG decompressor filter"));
      ASSERT_NE(nullptr, device_.mjpeg_decompressor);
    } else {
      EXPECT_EQ(nullptr, device_.mjpeg_decompressor);  // a freshly listed record has no last format
    }
    EXPECT_EQ(added_at_open ? 1 : 0, DecompressorsInGraph());
    const int created = converters_.decompressorsCreated();
    log_.Clear();
    sink.Reset(320, 240, kMjpg);
    sink.Follow(camera_->stats());
    ASSERT_EQ(0, ds_start_capture(&device_, &request, &callback));
    EXPECT_EQ(added_at_open ? 0 : 1, log_.Count("Adding MJPEG decompressor filter"));
    EXPECT_EQ(!added_at_open, log_.Contains(3, "Adding MJPEG decompressor filter"));
    EXPECT_EQ(added_at_open ? created : created + 1, converters_.decompressorsCreated());
    EXPECT_EQ(1, DecompressorsInGraph());
    ExpectGoodFrames(sink, 10);
    log_.Clear();
    EXPECT_EQ(0, Close(&sink));
    EXPECT_TRUE(log_.Contains(2, "Removing MJPEG decompressor filter"));
  }
}

TEST_F(ConvertedCapture, RefusedRemovalOfTheDecompressorSetsItsBit) {
  const ds_format request = {320, 240, kMjpg};
  Open({Mjpg(320, 240, 20000)});
  FrameSink& sink = Sink(0);
  sink.Reset(320, 240, kMjpg);
  sink.Follow(camera_->stats());
  ds_frame_callback callback = {SinkFunction(0)};
  ASSERT_EQ(0, ds_start_capture(&device_, &request, &callback));
  ExpectGoodFrames(sink, 3);
  // Gone from the graph behind the library's back: the graph refuses to remove it again.
  ASSERT_TRUE(SUCCEEDED(device_.media_control->Stop()));
  ASSERT_EQ(S_OK, device_.graph->RemoveFilter(device_.mjpeg_decompressor));
  log_.Clear();
  EXPECT_EQ(0x08, Close(&sink));
  EXPECT_TRUE(log_.Contains(5, "Failed to remove MJPEG decompressor filter"));
}

TEST_F(ConvertedCapture, CloseTakesTheFiltersItAddedOutOfTheGraph) {
  // The graph's own release would take them out too; a graph someone else still holds shows it.
  const wchar_t* added[] = {L"Sample Grabber Filter", L"Null Renderer Filter", L"MJPEG Decompressor"};
  for (const Capability& cap : {Rgb32(320, 240, 20000), Yuy2(320, 240, 20000), Mjpg(320, 240, 20000)}) {
    SCOPED_TRACE(cap.compression);
    Open({cap});
    FrameSink& sink = Sink(0);
    sink.Reset(320, 240, cap.compression);
    ds_frame_callback callback = {SinkFunction(0)};
    const ds_format request = {320, 240, cap.compression};
    ASSERT_EQ(0, ds_start_capture(&device_, &request, &callback));
    ExpectGoodFrames(sink, 3);
    Microsoft::WRL::ComPtr<IGraphBuilder> graph(device_.graph);
    const auto before = FilterNames(graph.Get());
    EXPECT_THAT(before, Contains(L"Sample Grabber Filter"));
    EXPECT_THAT(before, Contains(L"Null Renderer Filter"));
    EXPECT_EQ(cap.compression == kMjpg, std::find(before.begin(), before.end(), added[2]) != before.end());
    EXPECT_EQ(0, ds_close_device(&device_));
    const auto after = FilterNames(graph.Get());
    for (const wchar_t* name : added) EXPECT_THAT(after, Not(Contains(name)));
    graph.Reset();
    EXPECT_EQ(0, camera_->stats().filtersAlive);
    EXPECT_EQ(0, converters_.decompressorsAlive());
  }
}

TEST_F(ConvertedCapture, StreamsTheFormatPickedFromTheListedOnes) {
  Open({Mjpg(640, 480, 20000), Mjpg(320, 240, 20000), Yuy2(640, 480, 20000), Yuy2(160, 120, 20000),
        Rgb32(320, 240, 20000), Rgb32(160, 120, 20000)});
  ASSERT_EQ(6u, device_.format_count);
  ASSERT_EQ(0x30, ds_close_device(&device_));  // never started: no renderer or grabber to remove
  struct Pick {
    LONG width;
    LONG height;
    DWORD fourcc;
    const char* line;
  };
  // MJPG before YUY2 and RGB32: their opens find the decompressor from the MJPG start in the graph.
  const Pick picks[] = {
      {320, 240, kMjpg, "Capturing using: (320x240 in format MJPG)"},
      {160, 120, kYuy2, "Capturing using: (160x120 in format YUY2)"},
      {640, 480, kMjpg, "Capturing using: (640x480 in format MJPG)"},
      {320, 240, 0, "Capturing using: (320x240 in format )"},
      {640, 480, kYuy2, "Capturing using: (640x480 in format YUY2)"},
      {160, 120, 0, "Capturing using: (160x120 in format )"},
  };
  FrameSink& sink = Sink(0);
  ds_frame_callback callback = {SinkFunction(0)};
  for (const Pick& pick : picks) {
    SCOPED_TRACE(pick.line);
    ASSERT_EQ(0, ds_open_device(&device_));
    ds_format* listed = nullptr;
    ASSERT_EQ(0, ds_find_format(&device_, pick.width, pick.height, pick.fourcc, &listed));
    sink.Reset(pick.width, pick.height, pick.fourcc);
    sink.Follow(camera_->stats());
    log_.Clear();
    ASSERT_EQ(0, ds_start_capture(&device_, listed, &callback));
    EXPECT_TRUE(log_.Contains(3, pick.line));
    ExpectGoodFrames(sink, 3);
    const auto streams = camera_->stats().streams();
    ASSERT_FALSE(streams.empty()) << camera_->stats().framesSent << " frames sent";
    EXPECT_EQ(pick.width, streams.back().width);
    EXPECT_EQ(pick.height, streams.back().height);
    EXPECT_EQ(pick.fourcc, streams.back().compression);
    EXPECT_EQ(0, Close(&sink));
  }
}

}  // namespace
}  // namespace capture_tests
