// Where the rows of an uncompressed RGB output image lie: 24 or 32 bits a pixel, each row padded to
// four bytes, bottom-up unless the height is negative. Pure functions, any thread.
#pragma once

#include <windows.h>

namespace test_codec {

struct RgbLayout {
  LONG width;
  LONG rows;
  int bytesPerPixel;
  LONG stride;
  bool bottomUp;
};

// Whether a header describes RGB24 or RGB32 output of an image of the given size.
bool IsRgbOutputFor(const BITMAPINFOHEADER& output, LONG width, LONG height);
RgbLayout LayoutOf(const BITMAPINFOHEADER& output);
// The output row that shows the image's row y (0 is the top).
BYTE* OutputRow(const RgbLayout& layout, BYTE* image, LONG y);

}  // namespace test_codec
