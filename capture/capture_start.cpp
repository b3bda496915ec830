// ds_start_capture: the format, the grabber and renderer behind the capture pin, and the running graph.
#include <dshow.h>
// After dshow.h, which it needs.
#include <dvdmedia.h>
#include <stdint.h>
#include <wrl/client.h>

#include <new>

#include "formats.h"
#include "frame_callback.h"
#include "graph_filters.h"
#include "media_type.h"
#include "qmr_dshow.h"
#include "qmr_log.h"

using Microsoft::WRL::ComPtr;

namespace {

// Live sources reach running at once; a graph still changing state after this will not get there.
constexpr LONG kRunWaitMs = 3000;
constexpr LONG kStateStepMs = 100;

// Run may succeed while a filter refuses later (a device that another program holds: Wine's graph
// does it so, Windows' whenever Run answers S_FALSE); only the graph's state tells. A graph still in
// transition reports the state it is heading for, so only a settled answer counts. Logs the failure.
HRESULT WaitUntilRunning(IMediaControl* control) {
  const DWORD start = GetTickCount();
  for (;;) {
    OAFilterState state = State_Stopped;
    const HRESULT hr = control->GetState(kStateStepMs, &state);
    if (FAILED(hr)) {
      log_row(DS_LEVEL_ERROR, "Graph refused to run (0x%08x)", static_cast<unsigned>(hr));
      return hr;
    }
    if (hr != VFW_S_STATE_INTERMEDIATE && state == State_Running) return S_OK;
    if (GetTickCount() - start >= static_cast<DWORD>(kRunWaitMs)) {
      log_row(DS_LEVEL_ERROR, "Graph not running after %d ms (state %d, 0x%08x)", static_cast<int>(kRunWaitMs),
              static_cast<int>(state), static_cast<unsigned>(hr));
      return VFW_E_WRONG_STATE;
    }
    // A settled state other than running answers at once; GetState waited only while it changed.
    if (hr != VFW_S_STATE_INTERMEDIATE) Sleep(kStateStepMs);
  }
}

// The bitmap header of a connected video type, or null.
const BITMAPINFOHEADER* BitmapHeader(const AM_MEDIA_TYPE& type) {
  if (type.pbFormat == nullptr) return nullptr;
  if (type.formattype == FORMAT_VideoInfo && type.cbFormat >= sizeof(VIDEOINFOHEADER)) {
    return &reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat)->bmiHeader;
  }
  if (type.formattype == FORMAT_VideoInfo2 && type.cbFormat >= sizeof(VIDEOINFOHEADER2)) {
    return &reinterpret_cast<const VIDEOINFOHEADER2*>(type.pbFormat)->bmiHeader;
  }
  return nullptr;
}

// A 4:2:0 camera's samples reach the grabber as the camera sends them; the format they connected in,
// which may not be the one asked for, decides the conversion. Logs what it cannot convert.
HRESULT SetUpConversion(ds_capture_device* device) {
  ComPtr<ISampleGrabber> grabber;
  AM_MEDIA_TYPE type = {};
  HRESULT hr = device->grabber_filter->QueryInterface(IID_PPV_ARGS(&grabber));
  if (SUCCEEDED(hr)) hr = grabber->GetConnectedMediaType(&type);
  if (FAILED(hr)) {
    log_row(DS_LEVEL_ERROR, "Failed to read the connected format (0x%08x)", static_cast<unsigned>(hr));
    return hr;
  }
  const BITMAPINFOHEADER* bitmap = BitmapHeader(type);
  const uint32_t fourcc = type.subtype.Data1;
  const int32_t width = bitmap != nullptr ? bitmap->biWidth : 0;
  // 4:2:0 frames come top row first whatever the sign of the height; the most negative one has no
  // positive twin and stays refused.
  int32_t height = bitmap != nullptr ? bitmap->biHeight : 0;
  if (height < 0 && height != INT32_MIN) height = -height;
  char text[5] = {};
  from_fourcc(fourcc, text);
  hr = S_OK;
  if (!IsYuv420(fourcc) || type.subtype != GrabberSubtype(fourcc) ||
      !device->frame_cb->ConvertSamples(fourcc == kFourccNv12 ? YUV420_NV12 : YUV420_I420, width, height)) {
    log_row(DS_LEVEL_ERROR, "Cannot convert %s frames of %dx%d", text, static_cast<int>(width),
            static_cast<int>(height));
    hr = E_FAIL;
  } else {
    log_row(DS_LEVEL_INFO, "Converting %s frames of %dx%d to RGB32", text, static_cast<int>(width),
            static_cast<int>(height));
  }
  FreeMediaType(type);
  return hr;
}

// A start that fails once Run was called: the caller, told that capture failed, gets no frame from
// here on, whether or not the graph agrees to stop. The record stays for close.
void StopFailedStart(ds_capture_device* device) {
  device->frame_cb->StopDelivering();
  const HRESULT hr = device->media_control->Stop();
  if (FAILED(hr))
    log_row(DS_LEVEL_WARN, "Failed to stop the graph after a failed start (0x%08x)", static_cast<unsigned>(hr));
}

}  // namespace

extern "C" int QMR_CDECL ds_start_capture(ds_capture_device* device, const ds_format* format,
                                          ds_frame_callback* callback) {
  if (device == nullptr) return 1;
  if (device->capture_filter == nullptr) return 2;
  if (device->frame_cb != nullptr) return 3;
  // The interface requires a format; without one there is nothing to apply.
  if (format == nullptr) return 4;
  if (ds_set_format(device, format) != 0) return 4;

  device->frame_cb = new (std::nothrow) FrameCB(callback);
  if (device->frame_cb == nullptr ||
      FAILED(CreateSampleGrabber(&device->grabber_filter, static_cast<ISampleGrabberCB*>(device->frame_cb),
                                 GrabberSubtype(device->current_format.fourcc)))) {
    log_row(DS_LEVEL_ERROR, "Failed to create sample grabber");
    return 5;
  }
  device->graph->AddFilter(device->grabber_filter, L"Sample Grabber Filter");

  if (FAILED(CreateNullRenderer(&device->null_renderer))) {
    log_row(DS_LEVEL_ERROR, "Failed to create null renderer");
    return 6;
  }
  device->graph->AddFilter(device->null_renderer, L"Null Renderer Filter");

  // A decompressor that the open already added serves.
  if (device->current_format.fourcc == kFourccMjpg && device->mjpeg_decompressor == nullptr) {
    if (FAILED(CreateMJPEGDecompressor(&device->mjpeg_decompressor))) {
      log_row(DS_LEVEL_ERROR, "Failed to create MJPEG decompressor");
      return 7;
    }
    log_row(DS_LEVEL_INFO, "Adding MJPEG decompressor filter");
    device->graph->AddFilter(device->mjpeg_decompressor, L"MJPEG Decompressor");
  }

  if (FAILED(ConfigureDevice(device))) log_row(DS_LEVEL_ERROR, "Failed to configure device");

  // The decompressor is only in the graph; RenderStream places it and any converter it needs.
  HRESULT hr = device->capture_builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, device->capture_filter,
                                                     device->grabber_filter, device->null_renderer);
  if (FAILED(hr)) {
    log_row(DS_LEVEL_ERROR, "Failed to connect the capture stream (0x%08x)", static_cast<unsigned>(hr));
    return -8;
  }
  // Without a converter in the graph these frames are the library's to convert.
  if (IsYuv420(device->current_format.fourcc) && FAILED(SetUpConversion(device))) return -8;
  // Open leaves the field null when the graph refused the interface; there is nothing to run it with.
  if (device->media_control == nullptr) {
    log_row(DS_LEVEL_ERROR, "Not running graph, control does not exist");
    return -9;
  }
  hr = device->media_control->Run();
  if (FAILED(hr)) {
    log_row(DS_LEVEL_ERROR, "Failed to run the graph (0x%08x)", static_cast<unsigned>(hr));
    // Some filters may have started before one refused.
    StopFailedStart(device);
    return -9;
  }
  if (FAILED(WaitUntilRunning(device->media_control))) {
    StopFailedStart(device);
    return -9;
  }
  return 0;
}
