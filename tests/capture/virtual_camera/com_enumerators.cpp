#include "com_enumerators.h"

#include "media_types.h"

namespace virtual_camera {

PinEnumerator::PinEnumerator(std::vector<Microsoft::WRL::ComPtr<IPin>> pins, size_t position)
    : pins_(std::move(pins)), position_(position) {}

STDMETHODIMP PinEnumerator::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IEnumPins) {
    *out = static_cast<IEnumPins*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) PinEnumerator::AddRef() { return ++refs_; }

STDMETHODIMP_(ULONG) PinEnumerator::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP PinEnumerator::Next(ULONG count, IPin** pins, ULONG* fetched) {
  if (pins == nullptr) return E_POINTER;
  ULONG done = 0;
  while (done < count && position_ < pins_.size()) {
    pins[done] = pins_[position_++].Get();
    pins[done++]->AddRef();
  }
  if (fetched != nullptr) *fetched = done;
  return done == count ? S_OK : S_FALSE;
}

STDMETHODIMP PinEnumerator::Skip(ULONG count) {
  position_ += count;
  if (position_ > pins_.size()) {
    position_ = pins_.size();
    return S_FALSE;
  }
  return S_OK;
}

STDMETHODIMP PinEnumerator::Reset() {
  position_ = 0;
  return S_OK;
}

STDMETHODIMP PinEnumerator::Clone(IEnumPins** copy) {
  if (copy == nullptr) return E_POINTER;
  *copy = new PinEnumerator(pins_, position_);
  return S_OK;
}

MediaTypeEnumerator::MediaTypeEnumerator(std::vector<AM_MEDIA_TYPE> types, size_t position)
    : types_(std::move(types)), position_(position) {}

MediaTypeEnumerator::~MediaTypeEnumerator() {
  for (AM_MEDIA_TYPE& type : types_) FreeMediaTypeContents(&type);
}

STDMETHODIMP MediaTypeEnumerator::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IEnumMediaTypes) {
    *out = static_cast<IEnumMediaTypes*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) MediaTypeEnumerator::AddRef() { return ++refs_; }

STDMETHODIMP_(ULONG) MediaTypeEnumerator::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP MediaTypeEnumerator::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
  if (types == nullptr) return E_POINTER;
  ULONG done = 0;
  while (done < count && position_ < types_.size()) {
    auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (type == nullptr || FAILED(CopyMediaTypeInto(types_[position_], type))) {
      CoTaskMemFree(type);
      break;
    }
    ++position_;
    types[done++] = type;
  }
  if (fetched != nullptr) *fetched = done;
  return done == count ? S_OK : S_FALSE;
}

STDMETHODIMP MediaTypeEnumerator::Skip(ULONG count) {
  position_ += count;
  if (position_ > types_.size()) {
    position_ = types_.size();
    return S_FALSE;
  }
  return S_OK;
}

STDMETHODIMP MediaTypeEnumerator::Reset() {
  position_ = 0;
  return S_OK;
}

STDMETHODIMP MediaTypeEnumerator::Clone(IEnumMediaTypes** copy) {
  if (copy == nullptr) return E_POINTER;
  std::vector<AM_MEDIA_TYPE> types(types_.size());
  for (size_t i = 0; i < types_.size(); ++i) CopyMediaTypeInto(types_[i], &types[i]);
  *copy = new MediaTypeEnumerator(std::move(types), position_);
  return S_OK;
}

}  // namespace virtual_camera
