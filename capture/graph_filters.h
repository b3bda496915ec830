// Creating the platform filters that capture adds to a device's graph. Caller's thread.
#pragma once

#include <qedit.h>
#include <strmif.h>

#include "qmr_dshow.h"

// Video of this subtype: RGB32, or a camera's own 4:2:0 format that the library converts.
HRESULT SetMediaType(ISampleGrabber* grabber, const GUID& subtype);
// The grabber calls BufferCB of callback for every sample; the grabber keeps no other reference.
HRESULT CreateSampleGrabber(IBaseFilter** filter, ISampleGrabberCB* callback, const GUID& subtype);
// The subtype the grabber takes for a format: the camera's own for the formats the library converts,
// RGB32 for the others, which the platform's filters convert.
GUID GrabberSubtype(uint32_t fourcc);
HRESULT CreateNullRenderer(IBaseFilter** filter);
HRESULT CreateMJPEGDecompressor(IBaseFilter** filter);
HRESULT ConfigureDevice(ds_capture_device* device);
