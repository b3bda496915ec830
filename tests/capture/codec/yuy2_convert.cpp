#include "yuy2_convert.h"

namespace test_codec {
namespace {

BYTE Clamp(int value) { return static_cast<BYTE>(value < 0 ? 0 : value > 255 ? 255 : value); }

// Writes one pixel in B, G, R order (and 0xFF for the fourth byte of RGB32).
void Put(int y, int u, int v, int bytes_per_pixel, BYTE* out) {
  const int c = 298 * (y - 16);
  const int d = u - 128;
  const int e = v - 128;
  out[0] = Clamp((c + 516 * d + 128) >> 8);
  out[1] = Clamp((c - 100 * d - 208 * e + 128) >> 8);
  out[2] = Clamp((c + 409 * e + 128) >> 8);
  if (bytes_per_pixel == 4) out[3] = 0xFF;
}

}  // namespace

void ConvertYuy2(const BYTE* yuy2, LONG width, LONG height, const RgbLayout& output, BYTE* rgb) {
  const LONG rows = height < 0 ? -height : height;
  const int step = output.bytesPerPixel;
  for (LONG y = 0; y < rows; ++y) {
    const BYTE* in = yuy2 + y * width * 2;
    BYTE* out = OutputRow(output, rgb, y);
    // Each four bytes Y0 U Y1 V hold two pixels that share their chroma.
    for (LONG x = 0; x + 1 < width; x += 2, in += 4, out += 2 * step) {
      Put(in[0], in[1], in[3], step, out);
      Put(in[2], in[1], in[3], step, out + step);
    }
  }
}

}  // namespace test_codec
