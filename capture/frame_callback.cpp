#include "frame_callback.h"

FrameCB::FrameCB(ds_frame_callback* callback) : callback_(callback) {}

FrameCB::~FrameCB() { callback_ = nullptr; }

STDMETHODIMP FrameCB::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_ISampleGrabberCB) {
    *out = static_cast<ISampleGrabberCB*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) FrameCB::AddRef() { return 1; }

STDMETHODIMP_(ULONG) FrameCB::Release() { return 1; }

STDMETHODIMP FrameCB::SampleCB(double, IMediaSample* sample) {
  BYTE* bytes = nullptr;
  if (sample == nullptr || FAILED(sample->GetPointer(&bytes))) return S_FALSE;
  return HandleFrame(bytes, sample->GetActualDataLength());
}

STDMETHODIMP FrameCB::BufferCB(double, BYTE* bytes, long size) { return HandleFrame(bytes, size); }

HRESULT FrameCB::HandleFrame(BYTE* bytes, long size) {
  if (callback_ == nullptr) return S_FALSE;
  // One read per frame: the caller may change its function between frames, and a second read could
  // see null after the test. The interface requires a function; without one the frame is dropped.
  const ds_frame_function function = *static_cast<const volatile ds_frame_function*>(&callback_->callback);
  if (function == nullptr) return S_FALSE;
  delivering_thread_ = GetCurrentThreadId();
  function(bytes, size);
  delivering_thread_ = 0;
  return S_OK;
}

bool FrameCB::DeliveringOnThisThread() const { return delivering_thread_ == GetCurrentThreadId(); }
