// The capture pin's formats as an open lists them, and a chosen format applied at capture start.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "capture_fixture.h"
#include "formats.h"
#include "virtual_camera.h"

namespace capture_tests {
namespace {

using ::testing::ElementsAre;
using virtual_camera::CameraConfig;
using virtual_camera::Capability;
using virtual_camera::Compressed;
using virtual_camera::FourCC;
using virtual_camera::Rgb32;
using virtual_camera::Yuy2;

class CaptureFormats : public CameraRecordTest {
 protected:
  // Opens a device with these capabilities; its log starts after the open's own look-up.
  void Open(std::vector<Capability> caps, int caps_size = 128, HRESULT set_format_result = S_OK) {
    CameraConfig config;
    config.caps = std::move(caps);
    config.capsSize = caps_size;
    config.setFormatResult = set_format_result;
    ListCamera(config);
    device_.current_format = {1, 2, 3};
    log_.Clear();
    ASSERT_EQ(0, ds_open_device(&device_));
  }
  // The messages that follow "Found device using".
  std::vector<LogEntry> FormatLog() const {
    const auto& all = log_.entries();
    return std::vector<LogEntry>(all.begin() + 4, all.end());
  }
};

TEST_F(CaptureFormats, ListsTheFirst64UsableFormatsAndLogsTheRest) {
  std::vector<Capability> caps;
  for (int i = 0; i < 70; ++i) caps.push_back(i % 2 ? Yuy2(100 + i, 50 + i) : Rgb32(100 + i, 50 + i));
  Open(caps);
  ASSERT_EQ(64u, device_.format_count);
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(100 + i, device_.formats[i].width);
    EXPECT_EQ(50 + i, device_.formats[i].height);
    EXPECT_EQ(i % 2 ? FourCC('Y', 'U', 'Y', '2') : 0u, device_.formats[i].fourcc);
  }
  std::vector<LogEntry> expected;
  for (int i = 64; i < 70; ++i) {
    expected.push_back(
        {4, "Maximum number of formats on device. Skipping " + std::to_string(100 + i) + "x" + std::to_string(50 + i)});
  }
  EXPECT_EQ(expected, FormatLog());
  EXPECT_EQ(100, device_.current_format.width);
  EXPECT_EQ(50, device_.current_format.height);
}

TEST_F(CaptureFormats, PassesOverVideoInfo2AndKeepsTheCurrentFormat) {
  Capability two = Rgb32(640, 480);
  two.formatType = FORMAT_VideoInfo2;
  Open({two, two});
  EXPECT_EQ(0u, device_.format_count);
  EXPECT_THAT(FormatLog(), ElementsAre(LogEntry{5, "Could not enumerate formats"}));
  EXPECT_EQ(1, device_.current_format.width);
  EXPECT_EQ(3u, device_.current_format.fourcc);
}

TEST_F(CaptureFormats, RefusesOtherPixelFormatsAndFormatTypesWithTheirMessages) {
  Capability mpeg2 = Rgb32(1, 1), streams = Rgb32(1, 1), mpeg = Rgb32(1, 1), none = Rgb32(1, 1), wave = Rgb32(1, 1),
             other = Rgb32(1, 1);
  const GUID other_type = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  const GUID mpeg2_type = {0xE06D80E3, 0xDB46, 0x11CF, {0xB4, 0xD1, 0x00, 0x80, 0x5F, 0x6C, 0xBB, 0xEA}};
  mpeg2.formatType = mpeg2_type;
  streams.formatType = FORMAT_MPEGStreams;
  mpeg.formatType = FORMAT_MPEGVideo;
  none.formatType = FORMAT_None;
  wave.formatType = FORMAT_WaveFormatEx;
  other.formatType = other_type;
  Capability unreadable = Rgb32(2, 2);
  unreadable.readFails = true;
  Open({Compressed(FourCC('U', 'Y', 'V', 'Y'), 640, 480), mpeg2, streams, mpeg, none, wave, other, unreadable,
        Compressed(FourCC('M', 'J', 'P', 'G'), 1280, 720), Compressed(FourCC('I', '4', '2', '0'), 320, 240)});
  EXPECT_THAT(FormatLog(),
              ElementsAre(LogEntry{5, "Unsupported pixel format: UYVY (59565955)"},
                          LogEntry{4, "Unsupported: FORMAT_MPEG2Video"}, LogEntry{4, "Unsupported: FORMAT_MPEGStreams"},
                          LogEntry{4, "Unsupported: FORMAT_MPEGVideo"}, LogEntry{4, "Unsupported: FORMAT_None"},
                          LogEntry{4, "Unsupported: FORMAT_WaveFormatEx"}, LogEntry{5, "Unknown format: 305419896\n"},
                          LogEntry{5, "Failed to read format"}));
  ASSERT_EQ(2u, device_.format_count);
  EXPECT_EQ(0x47504A4Du, device_.formats[0].fourcc);
  EXPECT_EQ(0x30323449u, device_.formats[1].fourcc);
}

TEST_F(CaptureFormats, ListsNv12AndI420OnlyInSizesWithAWhole420Layout) {
  using virtual_camera::Yuv420;
  const DWORD nv12 = FourCC('N', 'V', '1', '2'), i420 = FourCC('I', '4', '2', '0');
  Open({Yuv420(nv12, 640, 480), Yuv420(nv12, 321, 240), Yuv420(i420, 320, 239), Yuv420(nv12, 0, 240),
        Yuv420(i420, 320, -240), Yuv420(nv12, -2, 2), Yuv420(i420, 1280, 720), Rgb32(161, 121)});
  EXPECT_THAT(FormatLog(),
              ElementsAre(LogEntry{5, "Unsupported NV12 size: 321x240"}, LogEntry{5, "Unsupported I420 size: 320x239"},
                          LogEntry{5, "Unsupported NV12 size: 0x240"}, LogEntry{5, "Unsupported I420 size: 320x-240"},
                          LogEntry{5, "Unsupported NV12 size: -2x2"}));
  ASSERT_EQ(3u, device_.format_count);
  const ds_format listed[] = {{640, 480, nv12}, {1280, 720, i420}, {161, 121, 0}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(listed[i].width, device_.formats[i].width) << i;
    EXPECT_EQ(listed[i].height, device_.formats[i].height) << i;
    EXPECT_EQ(listed[i].fourcc, device_.formats[i].fourcc) << i;
  }
}

TEST_F(CaptureFormats, FreesNothingThatAFailedReadLeftBehind) {
  Capability stray = Rgb32(640, 480);
  stray.readFails = true;
  stray.readLeavesType = true;
  Open({stray, Rgb32(320, 240)});
  EXPECT_THAT(FormatLog(), ElementsAre(LogEntry{5, "Failed to read format"}));
  ASSERT_EQ(1u, device_.format_count);
  EXPECT_EQ(320, device_.formats[0].width);
  // Applying a format reads every capability again.
  const ds_format request = {320, 240, 0};
  EXPECT_EQ(0, ds_set_format(&device_, &request));
  EXPECT_EQ(2, camera_->stats().strayTypesLeft);
  EXPECT_EQ(0, camera_->stats().strayTypesFreed);
}

TEST_F(CaptureFormats, NeverReadsAShortOrMissingFormatBlock) {
  Capability short_block = Rgb32(640, 480);
  short_block.blockSize = 72;
  Capability no_block = Rgb32(800, 600);
  no_block.nullBlock = true;
  Open({short_block, no_block, Rgb32(320, 240)});
  EXPECT_THAT(FormatLog(),
              ElementsAre(LogEntry{5, "Skipping unspported format: 72"}, LogEntry{5, "Skipping unspported format: 0"}));
  ASSERT_EQ(1u, device_.format_count);
  EXPECT_EQ(320, device_.formats[0].width);
  // Applying passes over both without a message.
  log_.Clear();
  const ds_format request = {640, 480, 0};
  EXPECT_EQ(0, ds_set_format(&device_, &request));
  EXPECT_TRUE(log_.entries().empty());
  EXPECT_TRUE(camera_->stats().setFormatCalls().empty());
}

TEST_F(CaptureFormats, YieldsNothingForACapabilitySizeOtherThan128) {
  Open({Rgb32(640, 480)}, 96);
  EXPECT_EQ(0u, device_.format_count);
  EXPECT_THAT(FormatLog(), ElementsAre(LogEntry{5, "Skipping iSize = 96"}, LogEntry{5, "Could not enumerate formats"}));
}

TEST_F(CaptureFormats, AppliesEveryMatchingCapabilityAndLogsEach) {
  Capability rgb24 = Rgb32(640, 480);
  rgb24.bitCount = 24;
  Open({Rgb32(320, 240), Rgb32(640, 480), rgb24});
  const ds_format request = {640, 480, 0};
  EXPECT_EQ(0, ds_set_format(&device_, &request));
  EXPECT_EQ(2, log_.Count("Capturing using: (640x480 in format )"));
  EXPECT_EQ(2u, camera_->stats().setFormatCalls().size());
  EXPECT_EQ(640, device_.current_format.width);
}

TEST_F(CaptureFormats, KeepsARequestThatMatchesNothingSilently) {
  Open({Rgb32(320, 240)});
  const ds_format request = {1024, 768, FourCC('Y', 'U', 'Y', '2')};
  log_.Clear();
  EXPECT_EQ(0, ds_set_format(&device_, &request));
  EXPECT_TRUE(log_.entries().empty());
  EXPECT_EQ(1024, device_.current_format.width);
  EXPECT_EQ(FourCC('Y', 'U', 'Y', '2'), device_.current_format.fourcc);
  EXPECT_TRUE(camera_->stats().setFormatCalls().empty());
}

TEST_F(CaptureFormats, ExplainsEachFailureOfSetFormat) {
  const struct {
    HRESULT code;
    const char* text;
  } cases[] = {
      {E_OUTOFMEMORY, "out of memory"},
      {E_POINTER, "NULL pointer value"},
      {VFW_E_INVALIDMEDIATYPE, "This media type is not valid"},
      {VFW_E_NOT_CONNECTED, "The input pin is not connected"},
      {VFW_E_NOT_STOPPED, "Cannot set the type; the filter is not stopped."},
      {VFW_E_WRONG_STATE, "Cannot set the type; the filter is not stopped."},
      {E_FAIL, "Unknown error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Open({Yuy2(640, 480)}, 128, c.code);
    log_.Clear();
    const ds_format request = {640, 480, FourCC('Y', 'U', 'Y', '2')};
    EXPECT_EQ(0, ds_set_format(&device_, &request));
    EXPECT_THAT(log_.entries(),
                ElementsAre(LogEntry{5, "Failed to set format (640x480 in format YUY2)"}, LogEntry{5, c.text}));
    ds_close_device(&device_);
  }
}

TEST_F(CaptureFormats, FindsAListedFormatByAllThreeNumbers) {
  Open({Rgb32(320, 240), Yuy2(320, 240), Yuy2(640, 480)});
  ds_format* found = reinterpret_cast<ds_format*>(1);
  EXPECT_EQ(0, ds_find_format(&device_, 320, 240, FourCC('Y', 'U', 'Y', '2'), &found));
  EXPECT_EQ(&device_.formats[1], found);
  EXPECT_EQ(1, ds_find_format(&device_, 640, 480, 0, &found));
  EXPECT_EQ(nullptr, found);
  ds_capture_device empty = {};
  found = reinterpret_cast<ds_format*>(1);
  EXPECT_EQ(1, ds_find_format(&empty, 0, 0, 0, &found));
  EXPECT_EQ(nullptr, found);
}

TEST(FormatHelpers, RefuseRecordsWithoutACaptureFilter) {
  LogRecorder log;
  ds_capture_device closed = {};
  EXPECT_EQ(-1, ds_enum_device_formats(nullptr));
  EXPECT_EQ(-2, ds_enum_device_formats(&closed));
  EXPECT_EQ(-1, ds_enum_formats(&closed, &list_format_callback));
  EXPECT_THAT(log.entries(), ElementsAre(LogEntry{4, "Capture filter is not set"}));
}

TEST(FormatHelpers, SpellsFourccsLowByteFirst) {
  const struct {
    uint32_t value;
    const char* text;
  } cases[] = {{0x47504A4D, "MJPG"}, {0x32595559, "YUY2"}, {0x30323449, "I420"}, {0, ""}};
  for (const auto& c : cases) {
    char text[5] = {};
    EXPECT_STREQ(c.text, from_fourcc(c.value, text));
    EXPECT_EQ(text, from_fourcc(c.value, text));
  }
}

}  // namespace
}  // namespace capture_tests
