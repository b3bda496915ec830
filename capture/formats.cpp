#include "formats.h"

#include <amvideo.h>
#include <dshow.h>
#include <string.h>
#include <wrl/client.h>

#include "dshow_ids.h"
#include "media_type.h"
#include "qmr_log.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr int kConfigCapsSize = 128;  // VIDEO_STREAM_CONFIG_CAPS

HRESULT FindStreamConfig(ds_capture_device* device, ComPtr<IAMStreamConfig>* config) {
  return device->capture_builder->FindInterface(&PIN_CATEGORY_CAPTURE, nullptr, device->capture_filter,
                                                IID_IAMStreamConfig,
                                                reinterpret_cast<void**>(config->ReleaseAndGetAddressOf()));
}

// The bitmap header of a VideoInfo block, or null when the block is absent or too short to hold it:
// a short block's header would be read from beyond its end.
const VIDEOINFOHEADER* VideoInfo(const AM_MEDIA_TYPE* type, ULONG* usable_size) {
  *usable_size = type->pbFormat != nullptr ? type->cbFormat : 0;
  if (*usable_size < sizeof(VIDEOINFOHEADER)) return nullptr;
  return reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
}

bool IsListedCompression(uint32_t fourcc) {
  return fourcc == kFourccYuy2 || fourcc == kFourccMjpg || IsYuv420(fourcc) || fourcc == 0;
}

// Chroma covers two by two pixels: a frame of another size has no whole 4:2:0 layout to convert.
bool HasYuv420Size(int32_t width, int32_t height) {
  return width > 0 && height > 0 && width % 2 == 0 && height % 2 == 0;
}

const char* SetFormatFailureText(HRESULT hr) {
  switch (hr) {
    case E_OUTOFMEMORY:
      return "out of memory";
    case E_POINTER:
      return "NULL pointer value";
    case VFW_E_INVALIDMEDIATYPE:
      return "This media type is not valid";
    case VFW_E_NOT_CONNECTED:
      return "The input pin is not connected";
    case VFW_E_NOT_STOPPED:
    case VFW_E_WRONG_STATE:
      return "Cannot set the type; the filter is not stopped.";
    default:
      return "Unknown error";
  }
}

}  // namespace

int ds_enum_formats(ds_capture_device* device, format_visitor visitor) {
  if (device->capture_filter == nullptr) {
    log_row(DS_LEVEL_WARN, "Capture filter is not set");
    return -1;
  }
  ComPtr<IAMStreamConfig> config;
  if (FAILED(FindStreamConfig(device, &config))) {
    log_row(DS_LEVEL_ERROR, "Unable to locate interface");
    return 0;
  }
  int count = 0;
  int size = 0;
  config->GetNumberOfCapabilities(&count, &size);  // on failure both stay 0
  if (size != kConfigCapsSize) {
    log_row(DS_LEVEL_ERROR, "Skipping iSize = %d", size);
    return 0;
  }
  for (int index = 0; index < count; ++index) {
    BYTE caps[kConfigCapsSize];
    AM_MEDIA_TYPE* returned = nullptr;
    const HRESULT hr = config->GetStreamCaps(index, &returned, caps);
    // Only a successful call hands the media type over; what a failed one left behind is not ours.
    ScopedMediaType type(SUCCEEDED(hr) ? returned : nullptr);
    if (FAILED(hr) || type.get() == nullptr) {
      log_row(DS_LEVEL_ERROR, "Failed to read format");
      continue;
    }
    const GUID& format_type = type.get()->formattype;
    if (format_type == FORMAT_VideoInfo) {
      visitor(device, type.get());
    } else if (format_type == FORMAT_VideoInfo2) {
      // Passed over without a message.
    } else if (format_type == kFormatMpeg2Video) {
      log_row(DS_LEVEL_WARN, "Unsupported: FORMAT_MPEG2Video");
    } else if (format_type == FORMAT_MPEGStreams) {
      log_row(DS_LEVEL_WARN, "Unsupported: FORMAT_MPEGStreams");
    } else if (format_type == FORMAT_MPEGVideo) {
      log_row(DS_LEVEL_WARN, "Unsupported: FORMAT_MPEGVideo");
    } else if (format_type == FORMAT_None) {
      log_row(DS_LEVEL_WARN, "Unsupported: FORMAT_None");
    } else if (format_type == FORMAT_WaveFormatEx) {
      log_row(DS_LEVEL_WARN, "Unsupported: FORMAT_WaveFormatEx");
    } else {
      log_row(DS_LEVEL_ERROR, "Unknown format: %d\n", static_cast<int>(format_type.Data1));
    }
  }
  return 0;
}

void list_format_callback(ds_capture_device* device, AM_MEDIA_TYPE* type) {
  ULONG size = 0;
  const VIDEOINFOHEADER* info = VideoInfo(type, &size);
  if (info == nullptr) {
    log_row(DS_LEVEL_ERROR, "Skipping unspported format: %d", static_cast<int>(size));
    return;
  }
  const int32_t width = info->bmiHeader.biWidth;
  const int32_t height = info->bmiHeader.biHeight;
  const uint32_t fourcc = info->bmiHeader.biCompression;
  char text[5] = {};
  if (!IsListedCompression(fourcc)) {
    log_row(DS_LEVEL_ERROR, "Unsupported pixel format: %s (%x)", from_fourcc(fourcc, text), fourcc);
    return;
  }
  if (IsYuv420(fourcc) && !HasYuv420Size(width, height)) {
    log_row(DS_LEVEL_ERROR, "Unsupported %s size: %dx%d", from_fourcc(fourcc, text), width, height);
    return;
  }
  if (device->format_count > 63) {
    log_row(DS_LEVEL_WARN, "Maximum number of formats on device. Skipping %dx%d", width, height);
    return;
  }
  device->formats[device->format_count++] = {width, height, fourcc};
}

void set_format_callback(ds_capture_device* device, AM_MEDIA_TYPE* type) {
  if (device->capture_filter == nullptr) {
    log_row(DS_LEVEL_ERROR, "Capture device not open or format not specified");
    return;
  }
  ULONG size = 0;
  const VIDEOINFOHEADER* info = VideoInfo(type, &size);
  if (info == nullptr) return;
  const ds_format& wanted = device->current_format;
  if (wanted.fourcc != info->bmiHeader.biCompression || wanted.width != info->bmiHeader.biWidth ||
      wanted.height != info->bmiHeader.biHeight) {
    return;
  }
  ComPtr<IAMStreamConfig> config;
  if (FAILED(FindStreamConfig(device, &config))) return;
  // The capability exactly as the pin gave it: frame interval and all.
  const HRESULT hr = config->SetFormat(type);
  char text[5] = {};
  from_fourcc(wanted.fourcc, text);
  if (SUCCEEDED(hr)) {
    log_row(DS_LEVEL_INFO, "Capturing using: (%dx%d in format %s)", wanted.width, wanted.height, text);
  } else {
    log_row(DS_LEVEL_ERROR, "Failed to set format (%dx%d in format %s)", wanted.width, wanted.height, text);
    log_row(DS_LEVEL_ERROR, "%s", SetFormatFailureText(hr));
  }
}

int ds_set_format(ds_capture_device* device, const ds_format* format) {
  device->current_format = *format;
  return ds_enum_formats(device, &set_format_callback);
}

int ds_enum_device_formats(ds_capture_device* device) {
  if (device == nullptr) return -1;
  if (device->capture_filter == nullptr) return -2;
  memset(device->formats, 0, sizeof device->formats);
  device->format_count = 0;
  const int result = ds_enum_formats(device, &list_format_callback);
  if (result == 0 && device->format_count > 0) {
    device->current_format = device->formats[0];
  } else {
    log_row(DS_LEVEL_ERROR, "Could not enumerate formats");
  }
  return result;
}

int ds_find_format(ds_capture_device* device, int32_t width, int32_t height, uint32_t fourcc, ds_format** found) {
  *found = nullptr;
  for (uint32_t i = 0; i < device->format_count && i < 64; ++i) {
    ds_format& entry = device->formats[i];
    if (entry.width == width && entry.height == height && entry.fourcc == fourcc) {
      *found = &entry;
      return 0;
    }
  }
  return 1;
}

char* from_fourcc(uint32_t fourcc, char* text) {
  for (int i = 0; i < 4; ++i) text[i] = static_cast<char>((fourcc >> (8 * i)) & 0xFF);
  text[4] = '\0';
  return text;
}
