#include "enumeration.h"

#include <dshow.h>
#include <string.h>
#include <wrl/client.h>

#include "property_text.h"
#include "qmr_dshow.h"
#include "qmr_log.h"

using Microsoft::WRL::ComPtr;

HRESULT EnumerateDevices(REFCLSID category, IEnumMoniker** devices) {
  ComPtr<ICreateDevEnum> system_enum;
  HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                reinterpret_cast<void**>(system_enum.GetAddressOf()));
  if (FAILED(hr)) return hr;
  ComPtr<IEnumMoniker> found;
  hr = system_enum->CreateClassEnumerator(category, found.GetAddressOf(), 0);
  // S_FALSE: the category has no device and no enumerator was made.
  if (hr == S_FALSE) return VFW_E_NOT_FOUND;
  if (hr != S_OK) return FAILED(hr) ? hr : E_UNEXPECTED;
  *devices = found.Detach();
  return S_OK;
}

extern "C" int QMR_CDECL ds_list_devices(ds_capture_device* records, uint32_t* count) {
  // Required arguments; without them there is nothing to report into.
  if (records == nullptr || count == nullptr) return 1;
  log_row(DS_LEVEL_DEBUG, "Listing devices (invalidates the old list)");
  const uint32_t capacity = *count;
  *count = 0;
  int passed_over = 0;
  log_row(DS_LEVEL_INFO, "Listing devices");

  ComPtr<IEnumMoniker> devices;
  if (FAILED(EnumerateDevices(CLSID_VideoInputDeviceCategory, devices.GetAddressOf()))) {
    log_row(DS_LEVEL_ERROR, "Failed to enumerate devices");
    return 1;
  }
  memset(records, 0, sizeof(ds_capture_device) * capacity);

  ds_capture_device* next = records;
  for (;;) {
    ComPtr<IMoniker> moniker;
    // S_FALSE at the end, or a failure: either ends the list without a message.
    if (devices->Next(1, moniker.GetAddressOf(), nullptr) != S_OK) break;
    ComPtr<IPropertyBag> bag;
    if (FAILED(
            moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(bag.GetAddressOf())))) {
      log_row(DS_LEVEL_ERROR, "Failed to bind to storage. Skipping device.");
      ++passed_over;
      continue;
    }
    ScopedVariant name;
    if (FAILED(ReadTextProperty(bag.Get(), L"Description", &name)) &&
        FAILED(ReadTextProperty(bag.Get(), L"FriendlyName", &name))) {
      log_row(DS_LEVEL_ERROR, "Skipping device, unable to find description");
      ++passed_over;
      continue;
    }
    if (*count >= capacity) {
      log_row(DS_LEVEL_WARN, "Skipping %S since pre-allocated device storage is exausted", name.text());
      continue;
    }
    CopyToField(next->name, 128, name.text());
    ScopedVariant path;
    if (SUCCEEDED(ReadTextProperty(bag.Get(), L"DevicePath", &path))) CopyToField(next->path, 512, path.text());
    ++next;
    ++*count;
  }
  return passed_over;
}
