// Creating the platform filters that capture adds to a device's graph. Caller's thread.
#pragma once

#include <qedit.h>
#include <strmif.h>

#include "qmr_dshow.h"

HRESULT SetMediaType(ISampleGrabber* grabber);
// The grabber calls BufferCB of callback for every sample; the grabber keeps no other reference.
HRESULT CreateSampleGrabber(IBaseFilter** filter, ISampleGrabberCB* callback);
HRESULT CreateNullRenderer(IBaseFilter** filter);
HRESULT CreateMJPEGDecompressor(IBaseFilter** filter);
HRESULT ConfigureDevice(ds_capture_device* device);
