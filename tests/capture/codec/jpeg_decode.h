// Decodes one JPEG image with the platform's own decoder (the Windows Imaging Component) into RGB
// rows. Runs on whatever thread delivers the frame; it initialises COM there for the call.
#pragma once

#include <windows.h>

#include <vector>

#include "rgb_layout.h"

namespace test_codec {

// Fails unless the image is a JPEG of exactly the output's size.
HRESULT DecodeJpeg(const BYTE* data, DWORD size, const RgbLayout& output, BYTE* rgb);

}  // namespace test_codec
