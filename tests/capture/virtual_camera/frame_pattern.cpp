#include "frame_pattern.h"

#include <string.h>

#include "camera_config.h"
#include "camera_images.h"
#include "jpeg_frames.h"

namespace virtual_camera {

uint32_t Rgb32PatternPixel(LONG x, LONG y) {
  return 0xFF000000u | (static_cast<uint32_t>(x * 3) & 0xFF) << 16 | (static_cast<uint32_t>(y) & 0xFF) << 8 |
         (static_cast<uint32_t>(x + 7 * y) & 0xFF);
}

DWORD FillFrame(const FrameShape& shape, uint32_t counter, BYTE* bytes) {
  const LONG rows = shape.height < 0 ? -shape.height : shape.height;
  if (shape.compression == 0) {
    auto* pixels = reinterpret_cast<uint32_t*>(bytes);
    for (LONG y = 0; y < rows; ++y) {
      for (LONG x = 0; x < shape.width; ++x) pixels[y * shape.width + x] = Rgb32PatternPixel(x, y);
    }
  } else if (shape.compression == FourCC('Y', 'U', 'Y', '2')) {
    FillYuy2Frame(shape.width, shape.height, counter, bytes);
    return shape.imageSize;
  } else if (shape.compression == FourCC('N', 'V', '1', '2') || shape.compression == FourCC('I', '4', '2', '0')) {
    FillYuv420Frame(shape.compression, shape.width, shape.height, counter, bytes);
    return shape.imageSize;
  } else if (shape.compression == FourCC('M', 'J', 'P', 'G')) {
    return CopyJpegFrame(shape.width, rows, counter, bytes, shape.imageSize);
  } else {
    memset(bytes, 0, shape.imageSize);
  }
  if (shape.imageSize >= sizeof counter) memcpy(bytes, &counter, sizeof counter);
  return shape.imageSize;
}

bool CheckRgb32Frame(const BYTE* bytes, long size, LONG width, LONG height, uint32_t* counter, std::string* why) {
  const LONG rows = height < 0 ? -height : height;
  if (size != width * rows * 4) {
    *why = "size " + std::to_string(size) + " for " + std::to_string(width) + "x" + std::to_string(rows);
    return false;
  }
  const auto* pixels = reinterpret_cast<const uint32_t*>(bytes);
  for (LONG y = 0; y < rows; ++y) {
    for (LONG x = 0; x < width; ++x) {
      if (x == 0 && y == 0) continue;
      if (pixels[y * width + x] != Rgb32PatternPixel(x, y)) {
        *why = "pixel " + std::to_string(x) + "," + std::to_string(y);
        return false;
      }
    }
  }
  memcpy(counter, bytes, sizeof *counter);
  return true;
}

}  // namespace virtual_camera
