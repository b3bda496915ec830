// Class and format ids that mingw-w64's headers declare nowhere (or only in some headers); the values
// are the published ones.
#pragma once

#include <guiddef.h>

extern const CLSID kClsidSampleGrabber;
extern const CLSID kClsidNullRenderer;
extern const CLSID kClsidMjpegDecompressor;
extern const GUID kFormatMpeg2Video;
