#include "graph_filters.h"

#include <dshow.h>
#include <string.h>
#include <wrl/client.h>

#include "dshow_ids.h"
#include "formats.h"
#include "qmr_log.h"

using Microsoft::WRL::ComPtr;

HRESULT SetMediaType(ISampleGrabber* grabber, const GUID& subtype) {
  AM_MEDIA_TYPE type;
  memset(&type, 0, sizeof type);
  type.majortype = MEDIATYPE_Video;
  type.subtype = subtype;
  return grabber->SetMediaType(&type);
}

GUID GrabberSubtype(uint32_t fourcc) {
  if (!IsYuv420(fourcc)) return MEDIASUBTYPE_RGB32;
  // The FourCC media subtypes share one base.
  return GUID{fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}

HRESULT CreateSampleGrabber(IBaseFilter** filter, ISampleGrabberCB* callback, const GUID& subtype) {
  ComPtr<IBaseFilter> created;
  HRESULT hr = CoCreateInstance(kClsidSampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(created.GetAddressOf()));
  if (FAILED(hr)) return hr;
  // Needed only to set the grabber up; released here so the grabber does not outlive the device.
  ComPtr<ISampleGrabber> grabber;
  hr = created.As(&grabber);
  if (FAILED(hr)) return hr;
  hr = SetMediaType(grabber.Get(), subtype);
  if (FAILED(hr)) return hr;
  *filter = created.Detach();
  grabber->SetCallback(callback, 1);  // 1: BufferCB with a copy of each sample
  grabber->SetBufferSamples(FALSE);
  grabber->SetOneShot(FALSE);
  return S_OK;
}

HRESULT CreateNullRenderer(IBaseFilter** filter) {
  HRESULT hr = CoCreateInstance(kClsidNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(filter));
  if (FAILED(hr)) {
    *filter = nullptr;
    log_row(DS_LEVEL_ERROR, "Failed to create null renderer");
  }
  return hr;
}

HRESULT CreateMJPEGDecompressor(IBaseFilter** filter) {
  HRESULT hr = CoCreateInstance(kClsidMjpegDecompressor, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                IID_IBaseFilter, reinterpret_cast<void**>(filter));
  if (FAILED(hr)) *filter = nullptr;
  return hr;
}

HRESULT ConfigureDevice(ds_capture_device*) { return S_OK; }
