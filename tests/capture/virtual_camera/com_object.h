// Reference counting and class factories for the test doubles' COM objects. Counts are atomic: the
// graph and the streaming thread may hold references at once.
#pragma once

#include <objbase.h>

#include <atomic>
#include <functional>

namespace virtual_camera {

// IUnknown's counting for an object that implements one interface; deleted at the last Release.
template <typename Interface>
class Counted : public Interface {
 public:
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual ~Counted() = default;
  // Answers for IUnknown and the object's own interface.
  HRESULT Answer(REFIID riid, const IID& own, void** out) {
    if (out == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == own) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }

 private:
  std::atomic<ULONG> refs_{1};
};

// A class factory whose CreateInstance runs a function (aggregation is refused before it).
class FunctionFactory : public Counted<IClassFactory> {
 public:
  using Create = std::function<HRESULT(REFIID riid, void** out)>;
  explicit FunctionFactory(Create create) : create_(std::move(create)) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override { return Answer(riid, IID_IClassFactory, out); }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return create_(riid, out);
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }

 private:
  Create create_;
};

}  // namespace virtual_camera
