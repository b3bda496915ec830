// FrameCB: hands every frame that the sample grabber copies out to the caller's frame function. Its
// callbacks run on the graph's streaming thread and touch nothing but the caller's record and the
// object itself; StopDelivering runs on the caller's thread.
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

  // S_OK when the frame function was called; S_FALSE when there is none to call, or delivery stopped.
  HRESULT HandleFrame(BYTE* bytes, long size);
  // Whether the calling thread is inside the frame function, called from this object. Any thread.
  bool DeliveringOnThisThread() const;
  // Whether the calling thread is inside the frame function of any device. Any thread.
  static bool InsideAFrameFunction();

  // No frame reaches the frame function once this returns: it waits for the one in progress. Never
  // from inside a frame function, which would wait for itself.
  void StopDelivering();

 private:
  // Caller-owned; must stay valid until the device is closed. Written before the grabber learns of
  // this object and never changed while the graph runs.
  ds_frame_callback* callback_;
  // The streaming thread counts itself in before it looks at delivering_, and the closing thread
  // clears delivering_ before it waits for the count to fall to zero: one of the two always sees
  // the other, so no frame slips through, and nothing touches the object after the count is zero.
  std::atomic<bool> delivering_{true};
  std::atomic<int> in_progress_{0};
};
