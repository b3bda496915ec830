// FrameCB: hands every frame that the sample grabber copies out to the caller's frame function. Its
// callbacks run on the graph's streaming thread and touch nothing but the caller's record.
#pragma once

#include <qedit.h>
#include <windows.h>

#include <atomic>

#include "qmr_dshow.h"

// Not reference counted: the device record owns it from capture start to close, which deletes it.
struct FrameCB : public ISampleGrabberCB {
  explicit FrameCB(ds_frame_callback* callback);

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP SampleCB(double time, IMediaSample* sample) override;
  STDMETHODIMP BufferCB(double time, BYTE* bytes, long size) override;
  virtual ~FrameCB();

  // S_OK when the frame function was called; S_FALSE when there is none to call.
  HRESULT HandleFrame(BYTE* bytes, long size);
  // Whether the calling thread is inside the frame function, called from this object. Any thread.
  bool DeliveringOnThisThread() const;

 private:
  // Caller-owned; must stay valid until the device is closed. Written before the grabber learns of
  // this object and never changed while the graph runs.
  ds_frame_callback* callback_;
  // The thread inside the frame function, or 0. Only the delivering thread can find its own id here.
  std::atomic<DWORD> delivering_thread_{0};
};
