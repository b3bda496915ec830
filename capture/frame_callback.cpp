#include "frame_callback.h"

#include <limits.h>

#include <new>

namespace {

// The object whose frame function the thread is in. A thread is inside at most one at a time.
thread_local const FrameCB* delivering_object = nullptr;

}  // namespace

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
  in_progress_.fetch_add(1);
  HRESULT result = S_FALSE;
  // The caller's record is read only while delivery goes on: after its close the caller may free it.
  if (delivering_.load()) {
    if (frame_ != nullptr) {
      // Nothing past the sample's own length is read: a short one has no whole frame to convert.
      if (size < 0 || static_cast<size_t>(size) < sample_size_) {
        short_samples_.fetch_add(1);
        bytes = nullptr;
      } else {
        yuv420_to_rgb32(layout_, bytes, width_, height_, frame_.get());
        bytes = frame_.get();
        size = frame_size_;
      }
    }
    // One read per frame: the caller may change its function between frames, and a second read could
    // see null after the test. The interface requires a function; without one the frame is dropped.
    const ds_frame_function function = *static_cast<const volatile ds_frame_function*>(&callback_->callback);
    if (function != nullptr && bytes != nullptr) {
      const FrameCB* outer = delivering_object;
      delivering_object = this;
      function(bytes, size);
      delivering_object = outer;
      result = S_OK;
    }
  }
  // The last touch: a closing thread may delete the object as soon as it sees the count at zero.
  in_progress_.fetch_sub(1);
  return result;
}

bool FrameCB::DeliveringOnThisThread() const { return delivering_object == this; }

bool FrameCB::InsideAFrameFunction() { return delivering_object != nullptr; }

bool FrameCB::ConvertSamples(yuv420_layout layout, int32_t width, int32_t height) {
  const size_t sample_size = yuv420_sample_size(width, height);
  if (sample_size == 0) return false;
  // The frame function takes the size as a 32-bit long.
  const size_t frame_size = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
  if (frame_size > static_cast<size_t>(LONG_MAX)) return false;
  frame_.reset(new (std::nothrow) BYTE[frame_size]);
  if (frame_ == nullptr) return false;
  layout_ = layout;
  width_ = width;
  height_ = height;
  sample_size_ = sample_size;
  frame_size_ = static_cast<long>(frame_size);
  return true;
}

void FrameCB::StopDelivering() {
  delivering_.store(false);
  while (in_progress_.load() != 0) Sleep(1);
  frame_.reset();
}
