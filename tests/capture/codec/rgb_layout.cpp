#include "rgb_layout.h"

#include <stdlib.h>

namespace test_codec {

bool IsRgbOutputFor(const BITMAPINFOHEADER& output, LONG width, LONG height) {
  return output.biCompression == BI_RGB && (output.biBitCount == 24 || output.biBitCount == 32) &&
         output.biWidth == width && labs(output.biHeight) == labs(height);
}

RgbLayout LayoutOf(const BITMAPINFOHEADER& output) {
  RgbLayout layout;
  layout.width = output.biWidth;
  layout.rows = labs(output.biHeight);
  layout.bytesPerPixel = output.biBitCount / 8;
  layout.stride = (layout.width * layout.bytesPerPixel + 3) & ~3L;
  layout.bottomUp = output.biHeight > 0;
  return layout;
}

BYTE* OutputRow(const RgbLayout& layout, BYTE* image, LONG y) {
  const LONG row = layout.bottomUp ? layout.rows - 1 - y : y;
  return image + row * layout.stride;
}

}  // namespace test_codec
