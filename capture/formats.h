// The capture formats of an opened device: listing the capture pin's capabilities into the record and
// applying the caller's choice. Caller's thread, inside ds_open_device and ds_start_capture.
#pragma once

#include <strmif.h>

#include "qmr_dshow.h"

typedef void (*format_visitor)(ds_capture_device* device, AM_MEDIA_TYPE* type);

// 0; -1 when the record has no capture filter. The visitor sees each FORMAT_VideoInfo capability and
// must neither keep nor free it.
int ds_enum_formats(ds_capture_device* device, format_visitor visitor);
void list_format_callback(ds_capture_device* device, AM_MEDIA_TYPE* type);
void set_format_callback(ds_capture_device* device, AM_MEDIA_TYPE* type);
int ds_set_format(ds_capture_device* device, const ds_format* format);
// -1 no record; -2 no capture filter; otherwise the result of ds_enum_formats.
int ds_enum_device_formats(ds_capture_device* device);
// 0 found (*found points into the record); 1 not found (*found null).
int ds_find_format(ds_capture_device* device, int32_t width, int32_t height, uint32_t fourcc, ds_format** found);
// Writes the four characters and a terminator into text (at least 5 bytes) and returns it.
char* from_fourcc(uint32_t fourcc, char* text);

enum : uint32_t {
  kFourccYuy2 = 0x32595559,
  kFourccMjpg = 0x47504A4D,
  kFourccI420 = 0x30323449,
  kFourccNv12 = 0x3231564E,
};

// The 4:2:0 formats, which the library converts itself: no platform converter takes them everywhere.
inline bool IsYuv420(uint32_t fourcc) { return fourcc == kFourccNv12 || fourcc == kFourccI420; }
