// The two enumerators a filter hands out: of its pins, and of a pin's media types. Each holds its own
// copies; used on whatever thread the graph calls from.
#pragma once

#include <dshow.h>
#include <wrl/client.h>

#include <atomic>
#include <vector>

namespace virtual_camera {

class PinEnumerator : public IEnumPins {
 public:
  explicit PinEnumerator(std::vector<Microsoft::WRL::ComPtr<IPin>> pins, size_t position = 0);

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP Next(ULONG count, IPin** pins, ULONG* fetched) override;
  STDMETHODIMP Skip(ULONG count) override;
  STDMETHODIMP Reset() override;
  STDMETHODIMP Clone(IEnumPins** copy) override;

 private:
  virtual ~PinEnumerator() = default;
  std::atomic<ULONG> refs_{1};
  std::vector<Microsoft::WRL::ComPtr<IPin>> pins_;
  size_t position_;
};

class MediaTypeEnumerator : public IEnumMediaTypes {
 public:
  // Takes ownership of the media types' format blocks.
  explicit MediaTypeEnumerator(std::vector<AM_MEDIA_TYPE> types, size_t position = 0);

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
  STDMETHODIMP Skip(ULONG count) override;
  STDMETHODIMP Reset() override;
  STDMETHODIMP Clone(IEnumMediaTypes** copy) override;

 private:
  virtual ~MediaTypeEnumerator();
  std::atomic<ULONG> refs_{1};
  std::vector<AM_MEDIA_TYPE> types_;
  size_t position_;
};

}  // namespace virtual_camera
