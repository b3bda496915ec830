#include "camera_converters.h"

#include <dshow.h>

#include "dshow_ids.h"

namespace test_codec {

CameraConverters::CameraConverters() : mjpeg_(kClsidMjpegDecompressor, CLSID_AVIDec) {}

}  // namespace test_codec
