// A device's own filter graph: building it at open, finding the device's capture filter again, and
// tearing it all down at close. Caller's thread, COM initialised.
#pragma once

#include <strmif.h>

#include "qmr_dshow.h"

HRESULT InitCaptureGraphBuilder(IGraphBuilder** graph, ICaptureGraphBuilder2** builder);
HRESULT InitDeviceGraph(ds_capture_device* device);
HRESULT DeinitDeviceGraph(ds_capture_device* device);
HRESULT GetCameraFilter(IBaseFilter** filter, ds_capture_device* device);

// Takes a record field's reference back and releases it, leaving the field null.
template <typename T>
void ReleaseField(T** field) {
  if (*field == nullptr) return;
  T* owned = *field;
  *field = nullptr;
  owned->Release();
}

// A record's text field as a terminated string: the text ends at the first zero unit or the field's end.
template <size_t Units>
struct FieldText {
  explicit FieldText(const wchar_t (&field)[Units]) {
    size_t i = 0;
    for (; i < Units && field[i] != L'\0'; ++i) text[i] = field[i];
    text[i] = L'\0';
  }
  wchar_t text[Units + 1];
};
