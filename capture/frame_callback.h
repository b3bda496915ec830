// FrameCB: hands every frame that the sample grabber copies out to the caller's frame function, and
// converts the samples of 4:2:0 cameras into RGB32 frames of its own first. Its callbacks run on the
// graph's streaming thread and touch nothing but the caller's record and the object itself, and neither
// log nor allocate; ConvertSamples and StopDelivering run on the caller's thread.
#pragma once

#include <qedit.h>
#include <windows.h>

#include <atomic>
#include <memory>

#include "qmr_dshow.h"
#include "yuv420.h"

// Not reference counted: the device record owns it from capture start to close, which deletes it, or
// keeps it, delivering nothing, when the graph that may still call it did not stop.
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

  // From now on every sample is a 4:2:0 frame of this layout and size, delivered as RGB32 from a
  // frame buffer of the object's own. Before the graph runs; false when the size has no 4:2:0 layout
  // or the buffer cannot be had.
  bool ConvertSamples(yuv420_layout layout, int32_t width, int32_t height);
  // No frame reaches the frame function once this returns: it waits for the one in progress, then
  // frees the frame buffer. Never from inside a frame function, which would wait for itself.
  void StopDelivering();
  // Samples too short for their frame, dropped undelivered. Final once delivery stopped.
  long ShortSamples() const { return short_samples_.load(); }

 private:
  // Caller-owned; must stay valid until the device is closed. Written before the grabber learns of
  // this object and never changed while the graph runs.
  ds_frame_callback* callback_;
  // The streaming thread counts itself in before it looks at delivering_, and the closing thread
  // clears delivering_ before it waits for the count to fall to zero: one of the two always sees
  // the other, so no frame slips through, and nothing touches the object after the count is zero.
  std::atomic<bool> delivering_{true};
  std::atomic<int> in_progress_{0};
  // Set before the graph runs, when the library converts; the buffer is touched only while delivering.
  yuv420_layout layout_ = YUV420_NV12;
  int32_t width_ = 0;
  int32_t height_ = 0;
  size_t sample_size_ = 0;
  long frame_size_ = 0;
  std::unique_ptr<BYTE[]> frame_;
  std::atomic<long> short_samples_{0};
};
