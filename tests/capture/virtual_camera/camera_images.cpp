#include "camera_images.h"

#include <math.h>
#include <stdlib.h>

#include "camera_config.h"

namespace virtual_camera {
namespace {

constexpr DWORD kYuy2 = FourCC('Y', 'U', 'Y', '2');
constexpr DWORD kNv12 = FourCC('N', 'V', '1', '2');
constexpr DWORD kI420 = FourCC('I', '4', '2', '0');
constexpr LONG kYuv420Tile = 16;
constexpr LONG kYuy2Block = 8;
constexpr LONG kJpegBlock = 16;
constexpr int kJpegBits = 4;

int Yuy2Bits(LONG width) { return static_cast<int>(width / kYuy2Block < 16 ? width / kYuy2Block : 16); }

bool InYuy2Counter(LONG x, LONG y, LONG width) { return y < kYuy2Block && x < Yuy2Bits(width) * kYuy2Block; }

struct Yuv {
  int y, u, v;
};

Yuv Yuy2Pixel(LONG x, LONG y, uint32_t counter, LONG width) {
  if (InYuy2Counter(x, y, width)) return {(counter >> (x / kYuy2Block)) & 1 ? 235 : 16, 128, 128};
  const LONG pair = x / 2;
  return {16 + static_cast<int>((x + 2 * y) % 220), 16 + static_cast<int>((pair * 6 + y) % 225),
          16 + static_cast<int>((pair * 2 + 3 * y) % 225)};
}

double Clamp(double value) { return value < 0 ? 0 : value > 255 ? 255 : value; }

// Tiles of one colour; a luma of -1 makes a ramp across the tile instead.
const Yuv kYuv420Tiles[] = {
    {16, 128, 128},   // black
    {235, 128, 128},  // white
    {81, 90, 240},    // red
    {145, 54, 34},    // green
    {41, 240, 110},   // blue
    {0, 0, 0},        // below the studio range: red and blue clamp at 0, green above 255
    {255, 255, 255},  // above it
    {255, 0, 255},    // red clamps high, blue low
    {0, 255, 0},      // blue clamps high, red low
    {-1, 128, 128},   // grey ramp
    {-1, 60, 200},    // coloured ramp
    {126, 128, 128},  // mid grey
};
constexpr int kYuv420TileCount = sizeof kYuv420Tiles / sizeof kYuv420Tiles[0];

// Chroma from the pixel's 2x2 block, luma its own.
Yuv Yuv420Pixel(LONG x, LONG y, uint32_t counter, LONG width) {
  if (InYuy2Counter(x, y, width)) return {(counter >> (x / kYuy2Block)) & 1 ? 235 : 16, 128, 128};
  const int tile = static_cast<int>((x / kYuv420Tile + 5 * (y / kYuv420Tile)) % kYuv420TileCount);
  Yuv pixel = kYuv420Tiles[tile];
  if (pixel.y < 0) pixel.y = static_cast<int>((x % kYuv420Tile) * 16 + (y % kYuv420Tile)) % 256;
  return pixel;
}

bool InJpegCounter(LONG x, LONG y) { return y < kJpegBlock && x < kJpegBits * kJpegBlock; }

// Around the blocks the encoder's ringing exceeds the tolerance; the blocks are read, not compared.
bool NearJpegCounter(LONG x, LONG y) { return y < kJpegBlock + 8 && x < kJpegBits * kJpegBlock + 8; }

const BYTE* CameraRow(const BYTE* bytes, LONG width, LONG rows, LONG y, bool top_row_last) {
  return bytes + (top_row_last ? rows - 1 - y : y) * width * 4;
}

// Pixel bytes are B, G, R, X.
int Channel(const BYTE* pixel, int rgb_index) { return pixel[2 - rgb_index]; }

uint32_t ReadBits(const BYTE* bytes, LONG width, LONG rows, bool top_row_last, LONG block, int bits) {
  uint32_t value = 0;
  const BYTE* row = CameraRow(bytes, width, rows, block / 2, top_row_last);
  for (int i = 0; i < bits; ++i) {
    if (row[(i * block + block / 2) * 4 + 1] > 128) value |= 1u << i;
  }
  return value;
}

std::string Where(LONG x, LONG y, int channel, double want, int got) {
  return "pixel " + std::to_string(x) + "," + std::to_string(y) + " channel " + "RGB"[channel] + ": " +
         std::to_string(got) + " for " + std::to_string(want);
}

}  // namespace

void FillYuy2Frame(LONG width, LONG height, uint32_t counter, BYTE* bytes) {
  const LONG rows = labs(height);
  for (LONG y = 0; y < rows; ++y) {
    BYTE* row = bytes + y * width * 2;
    for (LONG x = 0; x + 1 < width; x += 2) {
      const Yuv left = Yuy2Pixel(x, y, counter, width);
      row[x * 2] = static_cast<BYTE>(left.y);
      row[x * 2 + 1] = static_cast<BYTE>(left.u);
      row[x * 2 + 2] = static_cast<BYTE>(Yuy2Pixel(x + 1, y, counter, width).y);
      row[x * 2 + 3] = static_cast<BYTE>(left.v);
    }
  }
}

void FillYuv420Frame(DWORD fourcc, LONG width, LONG height, uint32_t counter, BYTE* bytes) {
  const LONG rows = labs(height);
  BYTE* chroma = bytes + width * rows;
  const LONG chroma_width = width / 2, chroma_rows = rows / 2;
  for (LONG y = 0; y < rows; ++y) {
    for (LONG x = 0; x < width; ++x) {
      const Yuv pixel = Yuv420Pixel(x, y, counter, width);
      bytes[y * width + x] = static_cast<BYTE>(pixel.y);
      if (x % 2 != 0 || y % 2 != 0) continue;
      const LONG cx = x / 2, cy = y / 2;
      if (fourcc == kNv12) {
        chroma[cy * width + cx * 2] = static_cast<BYTE>(pixel.u);
        chroma[cy * width + cx * 2 + 1] = static_cast<BYTE>(pixel.v);
      } else {
        chroma[cy * chroma_width + cx] = static_cast<BYTE>(pixel.u);
        chroma[chroma_width * chroma_rows + cy * chroma_width + cx] = static_cast<BYTE>(pixel.v);
      }
    }
  }
}

void Yuv420ExpectedRgb(LONG x, LONG y, uint32_t counter, LONG width, int rgb[3]) {
  const Yuv p = Yuv420Pixel(x, y, counter, width);
  const double c = p.y - 16, d = p.u - 128, e = p.v - 128;
  const double exact[3] = {1.164 * c + 1.596 * e, 1.164 * c - 0.391 * d - 0.813 * e, 1.164 * c + 2.018 * d};
  for (int i = 0; i < 3; ++i) rgb[i] = static_cast<int>(lround(Clamp(exact[i])));
}

void Yuy2ExpectedRgb(LONG x, LONG y, uint32_t counter, LONG width, double rgb[3]) {
  const Yuv p = Yuy2Pixel(x, y, counter, width);
  const double luma = 255.0 / 219.0 * (p.y - 16);
  const double u = 255.0 / 224.0 * (p.u - 128);
  const double v = 255.0 / 224.0 * (p.v - 128);
  // BT.601: Kr 0.299, Kb 0.114.
  rgb[0] = Clamp(luma + 1.402 * v);
  rgb[1] = Clamp(luma - 0.344136 * u - 0.714136 * v);
  rgb[2] = Clamp(luma + 1.772 * u);
}

void JpegImageRgb(LONG x, LONG y, LONG width, LONG height, uint32_t counter, BYTE rgb[3]) {
  if (InJpegCounter(x, y)) {
    const BYTE level = (counter >> (x / kJpegBlock)) & 1 ? 255 : 0;
    rgb[0] = rgb[1] = rgb[2] = level;
    return;
  }
  const int r = static_cast<int>(x * 255 / (width > 1 ? width - 1 : 1));
  const int g = static_cast<int>(y * 255 / (height > 1 ? height - 1 : 1));
  rgb[0] = static_cast<BYTE>(r);
  rgb[1] = static_cast<BYTE>(g);
  rgb[2] = static_cast<BYTE>(255 - (r + g) / 2);
}

bool CheckConvertedFrame(const BYTE* bytes, long size, LONG width, LONG height, DWORD fourcc, bool top_row_last,
                         uint32_t* counter, std::string* why) {
  const LONG rows = labs(height);
  if (size != width * rows * 4) {
    *why = "size " + std::to_string(size) + " for " + std::to_string(width) + "x" + std::to_string(rows);
    return false;
  }
  const bool yuy2 = fourcc == kYuy2;
  const bool yuv420 = fourcc == kNv12 || fourcc == kI420;
  const uint32_t number = yuy2 || yuv420 ? ReadBits(bytes, width, rows, top_row_last, kYuy2Block, Yuy2Bits(width))
                                         : ReadBits(bytes, width, rows, top_row_last, kJpegBlock, kJpegBits);
  double total = 0;
  long compared = 0;
  for (LONG y = 0; y < rows; ++y) {
    const BYTE* row = CameraRow(bytes, width, rows, y, top_row_last);
    for (LONG x = 0; x < width; ++x) {
      double want[3];
      if (yuy2) {
        Yuy2ExpectedRgb(x, y, number, width, want);
      } else if (yuv420) {
        int exact[3];
        Yuv420ExpectedRgb(x, y, number, width, exact);
        for (int c = 0; c < 3; ++c) want[c] = exact[c];
      } else {
        if (NearJpegCounter(x, y)) continue;
        BYTE image[3];
        JpegImageRgb(x, y, width, rows, number, image);
        for (int c = 0; c < 3; ++c) want[c] = image[c];
      }
      if (yuv420 && row[x * 4 + 3] != 255) {
        *why = "pixel " + std::to_string(x) + "," + std::to_string(y) + " alpha " + std::to_string(row[x * 4 + 3]);
        return false;
      }
      for (int c = 0; c < 3; ++c) {
        const int got = Channel(row + x * 4, c);
        const double difference = fabs(got - want[c]);
        total += difference;
        ++compared;
        if (difference > (yuy2 ? kYuy2Tolerance : yuv420 ? kYuv420Tolerance : kJpegTolerance)) {
          *why = Where(x, y, c, want[c], got);
          return false;
        }
      }
    }
  }
  const double mean = compared > 0 ? total / compared : 0;
  if (!yuy2 && !yuv420 && mean > kJpegMeanTolerance) {
    *why = "mean difference " + std::to_string(mean);
    return false;
  }
  *counter = number;
  return true;
}

}  // namespace virtual_camera
