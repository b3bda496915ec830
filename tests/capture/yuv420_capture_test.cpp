// Cameras as laptops ship them: NV12 and I420 samples reach the sample grabber as the camera sends
// them, with no converter or codec in the graph, and the library converts each into the RGB32 frame
// the caller receives, bottom-up as every other. No codec is installed in this file's tests.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "camera_images.h"
#include "capture_fixture.h"
#include "dshow_ids.h"
#include "frame_callback.h"
#include "guarded_buffer.h"
#include "test_codec.h"
#include "virtual_camera.h"
#include "yuv420.h"

namespace capture_tests {
namespace {

using ::testing::UnorderedElementsAreArray;
using virtual_camera::CameraConfig;
using virtual_camera::Capability;
using virtual_camera::FourCC;
using virtual_camera::Yuv420;
using virtual_camera::Yuy2;

constexpr DWORD kNv12 = FourCC('N', 'V', '1', '2');
constexpr DWORD kI420 = FourCC('I', '4', '2', '0');

struct Layout {
  const char* name;
  DWORD fourcc;
};
void PrintTo(const Layout& layout, std::ostream* out) { *out << layout.name; }

// The class of every filter in a graph.
std::vector<CLSID> FilterClasses(IFilterGraph* graph) {
  std::vector<CLSID> classes;
  Microsoft::WRL::ComPtr<IEnumFilters> filters;
  if (FAILED(graph->EnumFilters(&filters))) return classes;
  Microsoft::WRL::ComPtr<IBaseFilter> filter;
  while (filters->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    CLSID clsid = GUID_NULL;
    filter->GetClassID(&clsid);
    classes.push_back(clsid);
  }
  return classes;
}

class Yuv420Capture : public CameraRecordTest, public ::testing::WithParamInterface<Layout> {
 protected:
  DWORD fourcc() const { return GetParam().fourcc; }
  void Open(std::vector<Capability> caps) {
    CameraConfig config;
    config.caps = std::move(caps);
    ListCamera(config);
    ASSERT_EQ(0, ds_open_device(&device_));
  }
  // Starts with sink 0 following the camera, for frames of the given size.
  void Start(const ds_format& request, LONG width, LONG height) {
    FrameSink& sink = Sink(0);
    sink.Reset(width, height, fourcc());
    sink.Follow(camera_->stats());
    sink.keep_last = true;
    callback_.callback = SinkFunction(0);
    log_.Clear();
    ASSERT_EQ(0, ds_start_capture(&device_, &request, &callback_));
  }
  int Close() {
    const int result = ds_close_device(&device_);
    Sink(0).closed = true;
    EXPECT_TRUE(AllPointersNull(device_));
    EXPECT_EQ(0, camera_->stats().filtersAlive);
    EXPECT_EQ(0, camera_->stats().streaming);
    return result;
  }

  ds_frame_callback callback_ = {nullptr};
};

TEST_P(Yuv420Capture, DeliversEveryFrameAsRgb32BottomUpWithNothingBetweenCameraAndGrabber) {
  Open({Yuy2(160, 120), Yuv420(fourcc(), 320, 240, 20000)});
  ASSERT_EQ(2u, device_.format_count);
  EXPECT_EQ(fourcc(), device_.formats[1].fourcc);
  Start(device_.formats[1], 320, 240);
  const std::string name = GetParam().name;
  EXPECT_TRUE(log_.Contains(3, "Capturing using: (320x240 in format " + name + ")"));
  EXPECT_TRUE(log_.Contains(3, "Converting " + name + " frames of 320x240 to RGB32"));
  // The camera's pin straight into the grabber: Wine's graph puts its Smart Tee between, nothing converts.
  const std::vector<CLSID> filters = FilterClasses(device_.graph);
  std::vector<CLSID> expected = {camera_->clsid(), kClsidSampleGrabber, kClsidNullRenderer};
  if (std::count(filters.begin(), filters.end(), CLSID_SmartTee) == 1) expected.push_back(CLSID_SmartTee);
  EXPECT_THAT(filters, UnorderedElementsAreArray(expected));
  EXPECT_EQ(0, test_codec::TestCodec::OpenInstances());

  FrameSink& sink = Sink(0);
  ASSERT_TRUE(sink.WaitFor(10)) << sink.frames << " frames";
  EXPECT_EQ(0, sink.bad) << sink.first_problem;
  EXPECT_EQ(320 * 240 * 4, sink.last_size);
  std::vector<BYTE> frame;
  {
    std::lock_guard<std::mutex> lock(sink.mutex);
    for (size_t i = 1; i < sink.counters.size(); ++i) EXPECT_LT(sink.counters[i - 1], sink.counters[i]);
    frame = sink.last_frame;
  }
  EXPECT_EQ(0, Close());
  sink.ExpectEveryFrameDelivered();
  Sleep(100);
  EXPECT_EQ(0, sink.after_close);

  // Pixels of known colour, the picture's top row in the buffer's last: black, white, the primaries,
  // the clamped extremes, ramps and the number's blocks.
  ASSERT_EQ(320u * 240 * 4, frame.size());
  uint32_t number = 0;
  std::string why;
  ASSERT_TRUE(virtual_camera::CheckConvertedFrame(frame.data(), static_cast<long>(frame.size()), 320, 240, fourcc(),
                                                  true, &number, &why))
      << why;
  const struct {
    LONG x, y;
    BYTE rgb[3];
  } known[] = {
      {0, 16, {0, 135, 0}},        // Y, U and V all 0: red and blue clamp low
      {16, 16, {255, 125, 255}},   // all 255: red and blue clamp high
      {32, 16, {255, 225, 20}},    // 255, 0, 255
      {48, 16, {0, 36, 238}},      // 0, 255, 0
      {112, 16, {0, 0, 0}},        // the studio range's black
      {128, 16, {255, 255, 255}},  // white
      {144, 16, {254, 0, 0}},      // red
      {160, 16, {0, 255, 1}},      // green
      {176, 16, {0, 0, 255}},      // blue
      {96, 239, {0, 0, 255}},      // blue again in the picture's last row
      {319, 239, {0, 135, 0}},     // and its last pixel
  };
  for (const auto& k : known) {
    const BYTE* pixel = &frame[((239 - k.y) * 320 + k.x) * 4];
    for (int c = 0; c < 3; ++c) {
      EXPECT_NEAR(k.rgb[c], pixel[2 - c], virtual_camera::kYuv420Tolerance) << k.x << "," << k.y << " channel " << c;
    }
    EXPECT_EQ(255, pixel[3]);
  }
  EXPECT_FALSE(virtual_camera::CheckConvertedFrame(frame.data(), static_cast<long>(frame.size()), 320, 240, fourcc(),
                                                   false, &number, &why));
  // ds_vflip_32 turns it top row first, as it does every other format's frame.
  EXPECT_EQ(0, ds_vflip_32(frame.data(), 320, 240));
  EXPECT_TRUE(virtual_camera::CheckConvertedFrame(frame.data(), static_cast<long>(frame.size()), 320, 240, fourcc(),
                                                  false, &number, &why))
      << why;
}

TEST_P(Yuv420Capture, DropsShortSamplesAndSaysHowManyAtCloseAndConvertsTheStartOfLongerOnes) {
  const struct {
    const char* what;
    int short_every;
    DWORD extra;
  } cases[] = {{"every third sample a byte short", 3, 0}, {"every sample longer", 0, 4096}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Capability cap = Yuv420(fourcc(), 160, 120, 20000);
    cap.shortSampleEvery = c.short_every;
    cap.extraSampleBytes = c.extra;
    Open({cap});
    Start({160, 120, fourcc()}, 160, 120);
    FrameSink& sink = Sink(0);
    ASSERT_TRUE(sink.WaitFor(10)) << sink.frames << " frames";
    log_.Clear();
    EXPECT_EQ(0, Close());
    EXPECT_EQ(0, sink.bad) << sink.first_problem;
    const int short_sent = camera_->stats().shortSamplesSent;
    if (c.short_every > 0) {
      EXPECT_GT(short_sent, 0);
      EXPECT_EQ(1, log_.Count("Dropped " + std::to_string(short_sent) + " samples shorter than a frame"));
      EXPECT_TRUE(log_.Contains(4, "Dropped " + std::to_string(short_sent) + " samples shorter than a frame"));
      // What was sent but for the short ones, and for one in flight at either end.
      EXPECT_NEAR(camera_->stats().framesSent - short_sent, sink.frames.load(), 2);
    } else {
      EXPECT_EQ(0, short_sent);
      EXPECT_EQ(0, log_.Count("Dropped 0 samples shorter than a frame"));
      sink.ExpectEveryFrameDelivered();
    }
    camera_.reset();
  }
}

TEST_P(Yuv420Capture, SizesTheFrameFromTheFormatThatConnected) {
  // The camera does not offer the size asked for: its pin keeps its own, and the frames are of that.
  Open({Yuv420(fourcc(), 160, 120, 20000)});
  const ds_format request = {640, 480, fourcc()};
  Start(request, 160, 120);
  EXPECT_TRUE(log_.Contains(3, std::string("Converting ") + GetParam().name + " frames of 160x120 to RGB32"));
  FrameSink& sink = Sink(0);
  ASSERT_TRUE(sink.WaitFor(5));
  EXPECT_EQ(0, sink.bad) << sink.first_problem;
  EXPECT_EQ(160 * 120 * 4, sink.last_size);
  EXPECT_EQ(0, Close());
}

TEST_P(Yuv420Capture, RequestedOfACameraWithoutItFailsToConnect) {
  Open({Yuy2(320, 240)});
  const ds_format request = {320, 240, fourcc()};
  ds_frame_callback callback = {SinkFunction(0)};
  EXPECT_EQ(-8, ds_start_capture(&device_, &request, &callback));
  EXPECT_TRUE(log_.Contains(5, "Failed to connect the capture stream (0x80040217)"));
  EXPECT_EQ(0, Close());
}

INSTANTIATE_TEST_SUITE_P(Layouts, Yuv420Capture, ::testing::Values(Layout{"NV12", kNv12}, Layout{"I420", kI420}),
                         [](const ::testing::TestParamInfo<Layout>& info) { return std::string(info.param.name); });

// The conversion inside the callback object, with samples between inaccessible pages: a short sample is
// not read past its end, a longer one only up to its frame.
int conversion_calls = 0;
std::vector<BYTE> converted;
void QMR_CDECL KeepConverted(void* bytes, long size) {
  ++conversion_calls;
  converted.assign(static_cast<BYTE*>(bytes), static_cast<BYTE*>(bytes) + size);
}

TEST(FrameConversion, ReadsNoSampleBeyondItsLengthNorBeyondItsFrame) {
  constexpr LONG kWidth = 64, kHeight = 32;
  const size_t sample = yuv420_sample_size(kWidth, kHeight);
  std::vector<BYTE> picture(sample);
  virtual_camera::FillYuv420Frame(kNv12, kWidth, kHeight, 7, picture.data());
  std::vector<BYTE> reference(kWidth * kHeight * 4);
  ASSERT_EQ(1, yuv420_to_rgb32(YUV420_NV12, picture.data(), kWidth, kHeight, reference.data()));
  ds_frame_callback record = {&KeepConverted};
  FrameCB frame_cb(&record);
  ASSERT_TRUE(frame_cb.ConvertSamples(YUV420_NV12, kWidth, kHeight));
  const struct {
    const char* what;
    size_t length;
    bool delivered;
  } cases[] = {{"a byte short", sample - 1, false},
               {"half", sample / 2, false},
               {"empty", 0, false},
               {"whole", sample, true},
               {"longer", sample + 4096, true}};
  int short_ones = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // The sample ends where the inaccessible pages begin; an empty one starts there.
    testing_support::GuardedBuffer buffer(c.length > 0 ? c.length : 1);
    ASSERT_NE(nullptr, buffer.data());
    BYTE* bytes = buffer.data() + (buffer.size() - c.length);
    memcpy(bytes, picture.data(), std::min(c.length, sample));
    conversion_calls = 0;
    converted.clear();
    EXPECT_EQ(c.delivered ? S_OK : S_FALSE, frame_cb.BufferCB(0.0, bytes, static_cast<long>(c.length)));
    EXPECT_EQ(c.delivered ? 1 : 0, conversion_calls);
    if (c.delivered) {
      EXPECT_EQ(reference, converted);
    } else {
      ++short_ones;
    }
    EXPECT_EQ(short_ones, frame_cb.ShortSamples());
  }
  EXPECT_EQ(S_FALSE, frame_cb.BufferCB(0.0, picture.data(), -1)) << "a length of the wrong sign";
  frame_cb.StopDelivering();
  EXPECT_EQ(short_ones + 1, frame_cb.ShortSamples());
}

TEST(FrameConversion, RefusesSizesWithoutAWhole420Layout) {
  ds_frame_callback record = {&KeepConverted};
  FrameCB frame_cb(&record);
  for (const auto& size : {std::make_pair(321, 240), std::make_pair(320, 239), std::make_pair(0, 240),
                           std::make_pair(320, -240), std::make_pair(65536, 65536)}) {
    EXPECT_FALSE(frame_cb.ConvertSamples(YUV420_I420, size.first, size.second)) << size.first << "x" << size.second;
  }
}

}  // namespace
}  // namespace capture_tests
