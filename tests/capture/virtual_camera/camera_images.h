// What the virtual camera's YUY2, MJPG, NV12 and I420 frames show, and the check of such a frame once a
// converter has made RGB32 of it. A converter keeps no byte as it was, so the frame's number is drawn into the
// image as a row of black and white blocks at the top left. Pure functions, any thread.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <string>

namespace virtual_camera {

// Largest difference per channel from the exact conversion of the YUY2, NV12 and I420 images.
constexpr int kYuy2Tolerance = 2;
constexpr int kYuv420Tolerance = 2;
// Largest difference per channel from the encoded image, and the largest mean difference over the
// frame: what JPEG at the encoder's default quality loses on smooth ramps (seen: 7, and 2 on average).
constexpr int kJpegTolerance = 12;
constexpr double kJpegMeanTolerance = 3.0;

// YUY2 (top row first): luma from column and row, each pixel pair's chroma from its column and row;
// the number's low 16 bits as 8x8 blocks along the top.
void FillYuy2Frame(LONG width, LONG height, uint32_t counter, BYTE* bytes);
// The colour of a YUY2 pixel after the BT.601 studio-range conversion, exactly (R, G, B).
void Yuy2ExpectedRgb(LONG x, LONG y, uint32_t counter, LONG width, double rgb[3]);

// NV12 or I420 (top row first): 16x16 tiles of known colours, the studio range's black, white and
// primaries and colours beyond it that every channel clamps, in an order that differs from row to row
// of tiles, with luma ramps among them; the number's low 16 bits as 8x8 blocks along the top.
void FillYuv420Frame(DWORD fourcc, LONG width, LONG height, uint32_t counter, BYTE* bytes);
// The colour of such a pixel by the BT.601 studio-range formula, rounded and clamped (R, G, B).
void Yuv420ExpectedRgb(LONG x, LONG y, uint32_t counter, LONG width, int rgb[3]);

// The image of an MJPG frame (top row first, R, G, B): smooth ramps, and the number's low four bits
// as 16x16 blocks along the top.
void JpegImageRgb(LONG x, LONG y, LONG width, LONG height, uint32_t counter, BYTE rgb[3]);

// Checks an RGB32 frame converted from the camera's YUY2, MJPG, NV12 or I420 frame against the camera's
// image.
// With top_row_last the buffer holds the image bottom-up, as the platform delivers it. Gives the
// frame's number as far as the image keeps it (16 bits of YUY2, 4 of MJPG), or explains the first
// difference in *why.
bool CheckConvertedFrame(const BYTE* bytes, long size, LONG width, LONG height, DWORD fourcc, bool top_row_last,
                         uint32_t* counter, std::string* why);

}  // namespace virtual_camera
