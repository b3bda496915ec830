#include "storage_failure.h"

#include <dshow.h>
#include <gtest/gtest.h>
#include <wrl/client.h>

#include "adopt.h"
#include "com_object.h"

#include <algorithm>
#include <atomic>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace virtual_camera {
namespace {

std::vector<CLSID>& FailingDevices() {
  static std::vector<CLSID> devices;
  return devices;
}

bool FailsToBind(IMoniker* real) {
  ComPtr<IPropertyBag> bag;
  if (FAILED(real->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag)))) return false;
  VARIANT value;
  VariantInit(&value);
  bool fails = false;
  if (SUCCEEDED(bag->Read(L"CLSID", &value, nullptr)) && value.vt == VT_BSTR) {
    CLSID clsid;
    if (SUCCEEDED(CLSIDFromString(value.bstrVal, &clsid))) {
      const auto& devices = FailingDevices();
      fails = std::find(devices.begin(), devices.end(), clsid) != devices.end();
    }
  }
  VariantClear(&value);
  return fails;
}

class MonikerWrapper : public Counted<IMoniker> {
 public:
  explicit MonikerWrapper(ComPtr<IMoniker> real) : real_(std::move(real)) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IPersist || riid == IID_IPersistStream) return Answer(IID_IMoniker, IID_IMoniker, out);
    return Answer(riid, IID_IMoniker, out);
  }
  STDMETHODIMP GetClassID(CLSID* clsid) override { return real_->GetClassID(clsid); }
  STDMETHODIMP IsDirty() override { return real_->IsDirty(); }
  STDMETHODIMP Load(IStream* stream) override { return real_->Load(stream); }
  STDMETHODIMP Save(IStream* stream, BOOL clear) override { return real_->Save(stream, clear); }
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override { return real_->GetSizeMax(size); }
  STDMETHODIMP BindToObject(IBindCtx* bc, IMoniker* left, REFIID riid, void** out) override {
    return real_->BindToObject(bc, left, riid, out);
  }
  STDMETHODIMP BindToStorage(IBindCtx* bc, IMoniker* left, REFIID riid, void** out) override {
    if (FailsToBind(real_.Get())) {
      if (out != nullptr) *out = nullptr;
      return STG_E_ACCESSDENIED;
    }
    return real_->BindToStorage(bc, left, riid, out);
  }
  STDMETHODIMP Reduce(IBindCtx* bc, DWORD how, IMoniker** left, IMoniker** reduced) override {
    return real_->Reduce(bc, how, left, reduced);
  }
  STDMETHODIMP ComposeWith(IMoniker* right, BOOL only_if_not_generic, IMoniker** composite) override {
    return real_->ComposeWith(right, only_if_not_generic, composite);
  }
  STDMETHODIMP Enum(BOOL forward, IEnumMoniker** monikers) override { return real_->Enum(forward, monikers); }
  STDMETHODIMP IsEqual(IMoniker* other) override { return real_->IsEqual(other); }
  STDMETHODIMP Hash(DWORD* hash) override { return real_->Hash(hash); }
  STDMETHODIMP IsRunning(IBindCtx* bc, IMoniker* left, IMoniker* newly_running) override {
    return real_->IsRunning(bc, left, newly_running);
  }
  STDMETHODIMP GetTimeOfLastChange(IBindCtx* bc, IMoniker* left, FILETIME* time) override {
    return real_->GetTimeOfLastChange(bc, left, time);
  }
  STDMETHODIMP Inverse(IMoniker** inverse) override { return real_->Inverse(inverse); }
  STDMETHODIMP CommonPrefixWith(IMoniker* other, IMoniker** prefix) override {
    return real_->CommonPrefixWith(other, prefix);
  }
  STDMETHODIMP RelativePathTo(IMoniker* other, IMoniker** path) override { return real_->RelativePathTo(other, path); }
  STDMETHODIMP GetDisplayName(IBindCtx* bc, IMoniker* left, LPOLESTR* name) override {
    return real_->GetDisplayName(bc, left, name);
  }
  STDMETHODIMP ParseDisplayName(IBindCtx* bc, IMoniker* left, LPOLESTR name, ULONG* eaten, IMoniker** out) override {
    return real_->ParseDisplayName(bc, left, name, eaten, out);
  }
  STDMETHODIMP IsSystemMoniker(DWORD* kind) override { return real_->IsSystemMoniker(kind); }

 private:
  ComPtr<IMoniker> real_;
};

class EnumWrapper : public Counted<IEnumMoniker> {
 public:
  explicit EnumWrapper(ComPtr<IEnumMoniker> real) : real_(std::move(real)) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override { return Answer(riid, IID_IEnumMoniker, out); }
  STDMETHODIMP Next(ULONG count, IMoniker** monikers, ULONG* fetched) override {
    ULONG got = 0;
    HRESULT hr = real_->Next(count, monikers, &got);
    for (ULONG i = 0; i < got; ++i) {
      ComPtr<IMoniker> real;
      real = Adopt(monikers[i]);
      monikers[i] = new MonikerWrapper(real);
    }
    if (fetched != nullptr) *fetched = got;
    return hr;
  }
  STDMETHODIMP Skip(ULONG count) override { return real_->Skip(count); }
  STDMETHODIMP Reset() override { return real_->Reset(); }
  STDMETHODIMP Clone(IEnumMoniker** copy) override {
    if (copy == nullptr) return E_POINTER;
    ComPtr<IEnumMoniker> real;
    HRESULT hr = real_->Clone(&real);
    *copy = SUCCEEDED(hr) ? new EnumWrapper(real) : nullptr;
    return hr;
  }

 private:
  ComPtr<IEnumMoniker> real_;
};

class DevEnumWrapper : public Counted<ICreateDevEnum> {
 public:
  explicit DevEnumWrapper(ComPtr<ICreateDevEnum> real) : real_(std::move(real)) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override { return Answer(riid, IID_ICreateDevEnum, out); }
  STDMETHODIMP CreateClassEnumerator(REFCLSID category, IEnumMoniker** out, DWORD flags) override {
    if (out == nullptr) return E_POINTER;
    ComPtr<IEnumMoniker> real;
    HRESULT hr = real_->CreateClassEnumerator(category, &real, flags);
    *out = hr == S_OK ? new EnumWrapper(real) : nullptr;
    return hr;
  }

 private:
  ComPtr<ICreateDevEnum> real_;
};

DWORD override_cookie = 0;

}  // namespace

StorageFailure::StorageFailure(const CLSID& device) : device_(device) {
  FailingDevices().push_back(device);
  if (override_cookie != 0) return;
  ComPtr<ICreateDevEnum> real;
  HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&real));
  if (FAILED(hr)) {
    ADD_FAILURE() << "no system device enumerator: " << std::hex << hr;
    return;
  }
  ComPtr<IClassFactory> factory = Adopt<IClassFactory>(new FunctionFactory([real](REFIID riid, void** out) {
    return Adopt<ICreateDevEnum>(new DevEnumWrapper(real))->QueryInterface(riid, out);
  }));
  hr = CoRegisterClassObject(CLSID_SystemDeviceEnum, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                             &override_cookie);
  if (FAILED(hr)) {
    ADD_FAILURE() << "cannot wrap the system device enumerator: " << std::hex << hr;
    override_cookie = 0;
  }
}

StorageFailure::~StorageFailure() {
  auto& devices = FailingDevices();
  devices.erase(std::find(devices.begin(), devices.end(), device_));
  if (devices.empty() && override_cookie != 0) {
    CoRevokeClassObject(override_cookie);
    override_cookie = 0;
  }
}

}  // namespace virtual_camera
