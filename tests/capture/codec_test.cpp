// The test codec through the platform's Video for Windows interface, as the AVI decompressor uses it:
// found only while installed, RGB outputs only, the pixels it makes from the camera's YUY2 and MJPG
// frames, and a defined answer to a frame it cannot decode.
#include <windows.h>
// vfw.h needs windows.h first.
#include <vfw.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "camera_images.h"
#include "jpeg_frames.h"
#include "log_recorder.h"
#include "test_codec.h"

namespace capture_tests {
namespace {

using test_codec::kFourccMjpg;
using test_codec::kFourccYuy2;
using test_codec::TestCodec;

BITMAPINFOHEADER Header(LONG width, LONG height, DWORD compression, WORD bits) {
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = bits;
  header.biCompression = compression;
  header.biSizeImage = static_cast<DWORD>(width * (height < 0 ? -height : height) * bits / 8);
  return header;
}

// An open codec handle, closed at the end of the scope.
class Codec {
 public:
  explicit Codec(DWORD fourcc) : hic_(ICOpen(ICTYPE_VIDEO, fourcc, ICMODE_DECOMPRESS)) {}
  ~Codec() {
    if (hic_ != nullptr) ICClose(hic_);
  }
  HIC get() const { return hic_; }

 private:
  HIC hic_;
};

TEST(TestVideoCodec, IsFoundOnlyWhileInstalled) {
  ScopedCom com;
  BITMAPINFOHEADER yuy2 = Header(320, 240, kFourccYuy2, 16);
  BITMAPINFOHEADER rgb = Header(320, 240, BI_RGB, 32);
  // Located by the input's FourCC, as the AVI decompressor does.
  EXPECT_EQ(nullptr, ICLocate(ICTYPE_VIDEO, kFourccYuy2, &yuy2, &rgb, ICMODE_DECOMPRESS));
  {
    TestCodec codec;
    ASSERT_TRUE(codec.installed());
    TestCodec second;  // a second user shares the installation
    HIC found = ICLocate(ICTYPE_VIDEO, kFourccYuy2, &yuy2, &rgb, ICMODE_DECOMPRESS);
    ASSERT_NE(nullptr, found);
    EXPECT_EQ(1, TestCodec::OpenInstances());
    ICClose(found);
    EXPECT_EQ(0, TestCodec::OpenInstances());
  }
  EXPECT_EQ(nullptr, ICLocate(ICTYPE_VIDEO, kFourccYuy2, &yuy2, &rgb, ICMODE_DECOMPRESS));
}

TEST(TestVideoCodec, OffersRgbOutputsOnly) {
  ScopedCom com;
  TestCodec codec;
  struct Case {
    const char* what;
    DWORD input;
    WORD input_bits;
    BITMAPINFOHEADER output;
    LRESULT expected;
  };
  const Case cases[] = {
      {"YUY2 to RGB32", kFourccYuy2, 16, Header(320, 240, BI_RGB, 32), ICERR_OK},
      {"YUY2 to RGB24 top-down", kFourccYuy2, 16, Header(320, -240, BI_RGB, 24), ICERR_OK},
      {"MJPG to RGB32", kFourccMjpg, 24, Header(320, 240, BI_RGB, 32), ICERR_OK},
      {"MJPG to RGB24", kFourccMjpg, 24, Header(320, 240, BI_RGB, 24), ICERR_OK},
      {"YUY2 to YUY2", kFourccYuy2, 16, Header(320, 240, kFourccYuy2, 16), ICERR_BADFORMAT},
      {"YUY2 to UYVY", kFourccYuy2, 16, Header(320, 240, mmioFOURCC('U', 'Y', 'V', 'Y'), 16), ICERR_BADFORMAT},
      {"MJPG to CLJR", kFourccMjpg, 24, Header(320, 240, mmioFOURCC('C', 'L', 'J', 'R'), 8), ICERR_BADFORMAT},
      {"YUY2 to RGB555", kFourccYuy2, 16, Header(320, 240, BI_RGB, 16), ICERR_BADFORMAT},
      {"YUY2 to RGB8", kFourccYuy2, 16, Header(320, 240, BI_RGB, 8), ICERR_BADFORMAT},
      {"YUY2 to another size", kFourccYuy2, 16, Header(640, 480, BI_RGB, 32), ICERR_BADFORMAT},
      {"NV12 in", mmioFOURCC('N', 'V', '1', '2'), 12, Header(320, 240, BI_RGB, 32), ICERR_BADFORMAT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Codec hic(c.input == kFourccMjpg ? kFourccMjpg : kFourccYuy2);
    ASSERT_NE(nullptr, hic.get());
    BITMAPINFOHEADER input = Header(320, 240, c.input, c.input_bits);
    BITMAPINFOHEADER output = c.output;
    EXPECT_EQ(c.expected, ICDecompressQuery(hic.get(), &input, &output));
    const bool input_known = c.input == kFourccYuy2 || c.input == kFourccMjpg;
    EXPECT_EQ(input_known ? ICERR_OK : ICERR_BADFORMAT, ICDecompressQuery(hic.get(), &input, nullptr));
    // Wine's AVI decompressor begins with its input format in place of the output.
    EXPECT_EQ(input_known ? ICERR_OK : ICERR_BADFORMAT, ICDecompressBegin(hic.get(), &input, &input));
    BITMAPINFOHEADER proposed = {};
    if (input_known) {
      ASSERT_EQ(ICERR_OK, ICDecompressGetFormat(hic.get(), &input, &proposed));
      EXPECT_EQ(ICERR_OK, ICDecompressQuery(hic.get(), &input, &proposed));
    }
  }
}

// The colour of a pixel of an RGB24 or RGB32 image with padded rows, in either row order.
void PixelAt(const std::vector<BYTE>& image, const BITMAPINFOHEADER& header, LONG x, LONG y, int rgb[3]) {
  const int step = header.biBitCount / 8;
  const LONG rows = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  const LONG stride = (header.biWidth * step + 3) & ~3L;
  const BYTE* pixel = &image[(header.biHeight > 0 ? rows - 1 - y : y) * stride + x * step];
  rgb[0] = pixel[2];
  rgb[1] = pixel[1];
  rgb[2] = pixel[0];
}

struct Output {
  const char* what;
  WORD bits;
  bool top_down;
};
const Output kOutputs[] = {
    {"RGB32 bottom-up", 32, false},
    {"RGB32 top-down", 32, true},
    {"RGB24 bottom-up", 24, false},
    {"RGB24 top-down", 24, true},
};

// 162 pixels: RGB24 rows need padding.
constexpr LONG kWidth = 162;
constexpr LONG kHeight = 32;

std::vector<BYTE> Decompress(DWORD fourcc, BITMAPINFOHEADER input, std::vector<BYTE> frame, const Output& out,
                             BITMAPINFOHEADER* output, LRESULT* result) {
  *output = Header(kWidth, out.top_down ? -kHeight : kHeight, BI_RGB, out.bits);
  std::vector<BYTE> image(((kWidth * out.bits / 8 + 3) & ~3) * kHeight + 16, 0xCD);
  Codec hic(fourcc);
  *result = ICERR_BADHANDLE;
  if (hic.get() == nullptr) return image;
  EXPECT_EQ(ICERR_OK, ICDecompressBegin(hic.get(), &input, &input));
  // ICDecompress hands the ICERR code on as a DWORD: negative codes are negative 32-bit values.
  *result = static_cast<LONG>(ICDecompress(hic.get(), 0, &input, frame.data(), output, image.data()));
  ICDecompressEnd(hic.get());
  return image;
}

TEST(TestVideoCodec, ConvertsYuy2WithTheStudioRangeCoefficients) {
  ScopedCom com;
  TestCodec codec;
  const uint32_t counter = 0xA5C3;
  std::vector<BYTE> frame(kWidth * kHeight * 2);
  virtual_camera::FillYuy2Frame(kWidth, kHeight, counter, frame.data());
  for (const Output& out : kOutputs) {
    SCOPED_TRACE(out.what);
    BITMAPINFOHEADER output;
    LRESULT result;
    const std::vector<BYTE> image =
        Decompress(kFourccYuy2, Header(kWidth, kHeight, kFourccYuy2, 16), frame, out, &output, &result);
    ASSERT_EQ(ICERR_OK, result);
    int worst = 0;
    for (LONG y = 0; y < kHeight; ++y) {
      for (LONG x = 0; x < kWidth; ++x) {
        double want[3];
        int got[3];
        virtual_camera::Yuy2ExpectedRgb(x, y, counter, kWidth, want);
        PixelAt(image, output, x, y, got);
        for (int c = 0; c < 3; ++c) worst = std::max(worst, static_cast<int>(std::abs(got[c] - want[c]) + 0.5));
      }
    }
    EXPECT_LE(worst, virtual_camera::kYuy2Tolerance);
    EXPECT_EQ(0xCD, image.back()) << "wrote past the image";
  }
}

TEST(TestVideoCodec, DecodesMjpgWithThePlatformsJpegDecoder) {
  ScopedCom com;
  TestCodec codec;
  ASSERT_TRUE(virtual_camera::PrepareJpegFrames(kWidth, kHeight));
  const uint32_t counter = 11;
  std::vector<BYTE> frame(kWidth * kHeight * 3);
  const DWORD length = virtual_camera::CopyJpegFrame(kWidth, kHeight, counter, frame.data(), frame.size());
  ASSERT_GT(length, 0u);
  BITMAPINFOHEADER input = Header(kWidth, kHeight, kFourccMjpg, 24);
  input.biSizeImage = length;  // as the decompressor passes each sample's length
  for (const Output& out : kOutputs) {
    SCOPED_TRACE(out.what);
    BITMAPINFOHEADER output;
    LRESULT result;
    const std::vector<BYTE> image = Decompress(kFourccMjpg, input, frame, out, &output, &result);
    ASSERT_EQ(ICERR_OK, result);
    int worst = 0;
    double total = 0;
    for (LONG y = 24; y < kHeight; ++y) {  // below the number's blocks
      for (LONG x = 0; x < kWidth; ++x) {
        BYTE want[3];
        int got[3];
        virtual_camera::JpegImageRgb(x, y, kWidth, kHeight, counter, want);
        PixelAt(image, output, x, y, got);
        for (int c = 0; c < 3; ++c) {
          worst = std::max(worst, std::abs(got[c] - want[c]));
          total += std::abs(got[c] - want[c]);
        }
      }
    }
    EXPECT_LE(worst, virtual_camera::kJpegTolerance);
    EXPECT_LE(total / (3.0 * kWidth * (kHeight - 24)), virtual_camera::kJpegMeanTolerance);
    if (out.bits == 32) {
      uint32_t number = 0;
      std::string why;
      EXPECT_TRUE(virtual_camera::CheckConvertedFrame(image.data(), kWidth * kHeight * 4, kWidth, kHeight, kFourccMjpg,
                                                      !out.top_down, &number, &why))
          << why;
      EXPECT_EQ(counter, number);
    }
    EXPECT_EQ(0xCD, image.back()) << "wrote past the image";
  }
}

TEST(TestVideoCodec, RefusesAFrameItCannotDecode) {
  ScopedCom com;
  TestCodec codec;
  ASSERT_TRUE(virtual_camera::PrepareJpegFrames(kWidth, kHeight));
  std::vector<BYTE> jpeg(kWidth * kHeight * 3);
  const DWORD length = virtual_camera::CopyJpegFrame(kWidth, kHeight, 0, jpeg.data(), jpeg.size());
  ASSERT_GT(length, 0u);
  struct Case {
    const char* what;
    std::vector<BYTE> bytes;
    DWORD length;
  };
  std::vector<BYTE> noise(jpeg.size());
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<BYTE>(i * 37 + 11);
  const Case cases[] = {
      {"not a JPEG", noise, length},
      {"cut after its header", jpeg, 200},
      {"no bytes", jpeg, 0},
  };
  const int failed_before = TestCodec::FailedFrames();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BITMAPINFOHEADER input = Header(kWidth, kHeight, kFourccMjpg, 24);
    input.biSizeImage = c.length;
    BITMAPINFOHEADER output;
    LRESULT result;
    Decompress(kFourccMjpg, input, c.bytes, kOutputs[0], &output, &result);
    EXPECT_EQ(ICERR_ERROR, result);
  }
  // A YUY2 sample shorter than its image.
  BITMAPINFOHEADER short_yuy2 = Header(kWidth, kHeight, kFourccYuy2, 16);
  short_yuy2.biSizeImage -= 2;
  std::vector<BYTE> yuy2(kWidth * kHeight * 2);
  BITMAPINFOHEADER output;
  LRESULT result;
  Decompress(kFourccYuy2, short_yuy2, yuy2, kOutputs[0], &output, &result);
  EXPECT_EQ(ICERR_BADFORMAT, result);
  // A JPEG of another size than the stream's.
  BITMAPINFOHEADER input = Header(kWidth * 2, kHeight * 2, kFourccMjpg, 24);
  input.biSizeImage = length;
  Codec hic(kFourccMjpg);
  output = Header(kWidth * 2, kHeight * 2, BI_RGB, 32);
  std::vector<BYTE> image(kWidth * kHeight * 16);
  EXPECT_EQ(ICERR_ERROR, ICDecompress(hic.get(), 0, &input, jpeg.data(), &output, image.data()));
  EXPECT_EQ(failed_before + 5, TestCodec::FailedFrames());
}

}  // namespace
}  // namespace capture_tests
