// YUY2 to RGB as a capture converter does it: BT.601 coefficients, studio range (Y 16-235, chroma
// 16-240), integer arithmetic. Pure functions, any thread.
#pragma once

#include <windows.h>

#include "rgb_layout.h"

namespace test_codec {

// Converts a YUY2 image (top row first, as YUY2 always is) into the output's RGB rows.
void ConvertYuy2(const BYTE* yuy2, LONG width, LONG height, const RgbLayout& output, BYTE* rgb);

}  // namespace test_codec
