#include "device_graph.h"

#include <dshow.h>
#include <wrl/client.h>

#include "enumeration.h"
#include "formats.h"
#include "frame_callback.h"
#include "graph_events.h"
#include "graph_filters.h"
#include "library_state.h"
#include "property_text.h"
#include "qmr_log.h"

using Microsoft::WRL::ComPtr;

HRESULT InitCaptureGraphBuilder(IGraphBuilder** graph, ICaptureGraphBuilder2** builder) {
  if (graph == nullptr || builder == nullptr) {
    log_row(DS_LEVEL_ERROR, "Invalid state (Graph: %p, Builder: %p)", static_cast<void*>(graph),
            static_cast<void*>(builder));
    return E_POINTER;
  }
  ComPtr<ICaptureGraphBuilder2> new_builder;
  HRESULT hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                                reinterpret_cast<void**>(new_builder.GetAddressOf()));
  if (FAILED(hr)) {
    if (hr == REGDB_E_CLASSNOTREG) {
      log_row(DS_LEVEL_ERROR, "Failed to create graph builder instance (REGDB_E_CLASSNOTREG)");
    } else if (hr == CLASS_E_NOAGGREGATION) {
      log_row(DS_LEVEL_ERROR, "Failed to create graph builder instance (CLASS_E_NOAGGRRETATION)");
    } else {
      log_row(DS_LEVEL_ERROR, "Failed to create graph builder instance (%lld)", static_cast<long long>(hr));
    }
    return hr;
  }
  ComPtr<IGraphBuilder> new_graph;
  hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                        reinterpret_cast<void**>(new_graph.GetAddressOf()));
  if (FAILED(hr)) {
    log_row(DS_LEVEL_ERROR, "Failed to create filter graph instance");
    return hr;
  }
  new_builder->SetFiltergraph(new_graph.Get());
  *graph = new_graph.Detach();
  *builder = new_builder.Detach();
  return S_OK;
}

HRESULT InitDeviceGraph(ds_capture_device* device) {
  HRESULT hr = InitCaptureGraphBuilder(&device->graph, &device->capture_builder);
  if (FAILED(hr)) {
    log_row(DS_LEVEL_ERROR, "Failed to initiate capture graph builder (%d)", static_cast<int>(hr));
    return hr;
  }
  // A refused query leaves its field null.
  device->graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&device->media_control));
  device->graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&device->media_event));
  log_row(DS_LEVEL_DEBUG, "Initialized device graph");
  return S_OK;
}

HRESULT DeinitDeviceGraph(ds_capture_device* device) {
  ReleaseField(&device->capture_builder);
  ReleaseField(&device->graph);
  ReleaseField(&device->media_control);
  ReleaseField(&device->media_event);
  log_row(DS_LEVEL_DEBUG, "De-initialized device graph");
  return S_OK;
}

namespace {

// Whether a device's properties name the record: by path when the record has one, else by name.
bool Matches(IPropertyBag* bag, const ds_capture_device* device, ScopedVariant* matched) {
  if (device->path[0] != L'\0') {
    return SUCCEEDED(ReadTextProperty(bag, L"DevicePath", matched)) && FieldEquals(device->path, 512, matched->text());
  }
  if (FAILED(ReadTextProperty(bag, L"Description", matched)) &&
      FAILED(ReadTextProperty(bag, L"FriendlyName", matched))) {
    return false;
  }
  return FieldEquals(device->name, 128, matched->text());
}

}  // namespace

HRESULT GetCameraFilter(IBaseFilter** filter, ds_capture_device* device) {
  if (device == nullptr) {
    log_row(DS_LEVEL_ERROR, "No device supplied when getting camera filter");
    return E_POINTER;
  }
  const FieldText<128> name(device->name);
  const FieldText<512> path(device->path);
  log_row(DS_LEVEL_INFO, "Looking for device '%S' / '%S'", name.text, path.text);

  ComPtr<IEnumMoniker> devices;
  HRESULT hr = EnumerateDevices(CLSID_VideoInputDeviceCategory, devices.GetAddressOf());
  if (FAILED(hr)) {
    log_row(DS_LEVEL_ERROR, "Failed to enumerate devices");
    return hr;
  }
  while (*filter == nullptr) {
    ComPtr<IMoniker> moniker;
    if (devices->Next(1, moniker.GetAddressOf(), nullptr) != S_OK) break;
    ComPtr<IPropertyBag> bag;
    if (FAILED(
            moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(bag.GetAddressOf())))) {
      log_row(DS_LEVEL_WARN, "Failed to bind to storage (GetCameraFilter)");
      continue;
    }
    ScopedVariant matched;
    if (Matches(bag.Get(), device, &matched)) {
      log_row(DS_LEVEL_INFO, "Found device using '%S'", matched.text());
      // A filter that cannot be bound leaves the out pointer null, and the search goes on.
      if (FAILED(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(filter)))) {
        *filter = nullptr;
      }
    }
    if (FAILED(matched.Clear())) log_row(DS_LEVEL_WARN, "Failed to clear variant (GetCameraFilter)");
  }
  if (*filter == nullptr) {
    log_row(DS_LEVEL_ERROR, "No device found when getting camera filter for path: '%S'", path.text);
    return E_POINTER;
  }
  return S_OK;
}

extern "C" int QMR_CDECL ds_open_device(ds_capture_device* device) {
  if (device == nullptr) {
    log_row(DS_LEVEL_ERROR, "Invalid device");
    return 1;
  }
  const FieldText<128> name(device->name);
  const FieldText<512> path(device->path);
  log_row(DS_LEVEL_DEBUG, "Opening device: '%S' // '%S'", name.text, path.text);
  // Building a second graph into an open record would strand the first one, running or not.
  if (device->capture_filter != nullptr) {
    log_row(DS_LEVEL_WARN, "Device is already open");
    return 3;
  }
  if (FAILED(InitDeviceGraph(device))) {
    log_row(DS_LEVEL_ERROR, "Failed to initialize device graph");
    return 2;
  }
  if (FAILED(GetCameraFilter(&device->capture_filter, device))) {
    DeinitDeviceGraph(device);
    log_row(DS_LEVEL_ERROR, "Failed to get camera filter");
    return 3;
  }
  device->graph->AddFilter(device->capture_filter, name.text);

  // The format of the record's previous opening; zero for a freshly listed record.
  if (device->current_format.fourcc == kFourccMjpg) {
    if (FAILED(CreateMJPEGDecompressor(&device->mjpeg_decompressor))) {
      log_row(DS_LEVEL_ERROR, "Failed to create MJPEG decompressor");
    } else {
      log_row(DS_LEVEL_ERROR, "Adding MJPEG decompressor filter");
      device->graph->AddFilter(device->mjpeg_decompressor, L"MJPEG Decompressor");
    }
  }
  if (ds_enum_device_formats(device) != 0) log_row(DS_LEVEL_ERROR, "Failed to enumerate device formats");
  if (ll_add(&pOpenDevices, device) != 0) log_row(DS_LEVEL_ERROR, "Failed to register opened device");
  return 0;
}

namespace {

// Close's steps, each adding the bits of what failed.

int StopGraph(ds_capture_device* device) {
  if (device->media_control == nullptr) {
    log_row(DS_LEVEL_ERROR, "Not stopping graph, control does not exist");
    return 0x02;
  }
  log_row(DS_LEVEL_DEBUG, "Stopping graph");
  if (FAILED(device->media_control->Stop())) {
    log_row(DS_LEVEL_ERROR, "Failed to stop media control");
    return 0x01;
  }
  log_row(DS_LEVEL_DEBUG, "Successfully stop graph");
  return 0;
}

int RemoveCaptureFilters(ds_capture_device* device) {
  int result = 0;
  if (device->mjpeg_decompressor != nullptr) {
    log_row(DS_LEVEL_DEBUG, "Removing MJPEG decompressor filter");
    if (FAILED(device->graph->RemoveFilter(device->mjpeg_decompressor))) {
      log_row(DS_LEVEL_ERROR, "Failed to remove MJPEG decompressor filter");
      result |= 0x08;
    }
  }
  log_row(DS_LEVEL_DEBUG, "Removing null renderer filter");
  if (FAILED(device->graph->RemoveFilter(device->null_renderer))) {
    log_row(DS_LEVEL_ERROR, "Failed to remove the null renderer filter");
    result |= 0x10;
  }
  log_row(DS_LEVEL_DEBUG, "Removing grabber filter");
  if (FAILED(device->graph->RemoveFilter(device->grabber_filter))) {
    log_row(DS_LEVEL_ERROR, "Failed to remove the grabber filter");
    result |= 0x20;
  }
  return result;
}

void ReleaseFilters(ds_capture_device* device) {
  ReleaseField(&device->grabber_filter);
  ReleaseField(&device->mjpeg_decompressor);
  ReleaseField(&device->null_renderer);
  ReleaseField(&device->capture_filter);
}

// A graph that did not stop may go on calling the object through a grabber that someone still holds;
// kept, it only drops those frames. Deleted, its next frame would write to freed memory.
void DestroyFrameCallback(FrameCB* frame_cb, bool graph_stopped) {
  if (frame_cb == nullptr) return;
  if (graph_stopped) {
    delete frame_cb;
  } else {
    log_row(DS_LEVEL_WARN, "Frame callback kept: the graph did not stop");
  }
}

}  // namespace

extern "C" int QMR_CDECL ds_close_device(ds_capture_device* device) {
  if (device == nullptr) {
    log_row(DS_LEVEL_WARN, "No device to close");
    return 1;
  }
  const FieldText<128> name(device->name);
  log_row(DS_LEVEL_INFO, "Closing device: %p (%S)", static_cast<void*>(device), name.text);
  if (device->capture_filter == nullptr) {
    log_row(DS_LEVEL_WARN, "Device is not open");
    return 2;
  }
  // Stopping a graph waits for the frame in progress: from its own frame function that is the caller
  // itself, and from another device's it may be a frame function that closes the caller's device.
  if (FrameCB::InsideAFrameFunction()) {
    const bool own = device->frame_cb != nullptr && device->frame_cb->DeliveringOnThisThread();
    log_row(DS_LEVEL_WARN, own ? "Device cannot be closed from its own frame function"
                               : "Device cannot be closed from another device's frame function");
    return -1;
  }
  log_row(DS_LEVEL_DEBUG, "Prerequisites for closing device exists...");
  // Before the stop, while the events of the run are all there; nobody else reads the queue.
  if (device->media_event != nullptr) LogGraphEvents(device->media_event);
  int result = StopGraph(device);
  if (ll_rem(&pOpenDevices, device) != 0) {
    log_row(DS_LEVEL_ERROR, "Failed to unregister opened device");
    result |= 0x04;
  }
  // The callback object outlives everything that may still call it: the grabber holds it until the
  // grabber goes. Whatever the graph does, the caller gets no frame once close has returned.
  FrameCB* frame_cb = device->frame_cb;
  device->frame_cb = nullptr;
  if (frame_cb != nullptr) {
    frame_cb->StopDelivering();
    // Counted on the streaming thread, which logs nothing; said once here.
    if (frame_cb->ShortSamples() > 0) {
      log_row(DS_LEVEL_WARN, "Dropped %ld samples shorter than a frame", frame_cb->ShortSamples());
    }
  }
  result |= RemoveCaptureFilters(device);
  ReleaseFilters(device);
  DeinitDeviceGraph(device);
  DestroyFrameCallback(frame_cb, (result & 0x01) == 0);
  log_row(DS_LEVEL_DEBUG, "Device graph de-initialized");
  return result;
}
