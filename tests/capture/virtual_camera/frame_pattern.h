// The virtual camera's test patterns: every frame carries its number (in its first four bytes, or drawn
// into the image where a converter changes the bytes), and every other pixel a value computed from its
// column and row, so a test can tell frames, rows and formats apart.
// Pure functions, used on the streaming thread and in the tests.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <string>

namespace virtual_camera {

struct FrameShape {
  LONG width;
  LONG height;
  DWORD compression;  // 0: RGB32; 'YUY2'; 'MJPG'; 'NV12'; 'I420'; anything else gets only the counter
  DWORD imageSize;    // room in the buffer
};

// The RGB32 value of a pixel; the row is in the green channel.
uint32_t Rgb32PatternPixel(LONG x, LONG y);

// Returns the frame's length: the image size, or a JPEG's own length (0 when it cannot be made).
DWORD FillFrame(const FrameShape& shape, uint32_t counter, BYTE* bytes);

// Checks an RGB32 frame as the camera made it (rows in the camera's order) and returns its number, or
// explains the first difference in *why.
bool CheckRgb32Frame(const BYTE* bytes, long size, LONG width, LONG height, uint32_t* counter, std::string* why);

}  // namespace virtual_camera
