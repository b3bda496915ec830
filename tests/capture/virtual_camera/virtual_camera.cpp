#include "virtual_camera.h"

#include <dshow.h>
#include <gtest/gtest.h>
#include <wrl/client.h>

#include "adopt.h"
#include "com_object.h"

#include <algorithm>
#include <atomic>

#include "camera_filter.h"
#include "jpeg_frames.h"
#include "media_types.h"
#include "storage_failure.h"

namespace virtual_camera {
namespace {

std::wstring GuidText(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

void SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
  const LONG result = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  if (result != ERROR_SUCCESS) ADD_FAILURE() << "cannot set a device value, error " << result;
}

}  // namespace

const wchar_t* VideoInputInstanceKey() { return L"CLSID\\{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\Instance"; }

VirtualCamera::VirtualCamera(CameraConfig config)
    : config_(std::make_shared<const CameraConfig>(std::move(config))), stats_(std::make_shared<CameraStats>()) {
  if (FAILED(CoCreateGuid(&clsid_))) {
    ADD_FAILURE() << "no GUID for a virtual camera";
    return;
  }
  Microsoft::WRL::ComPtr<IClassFactory> factory = Adopt<IClassFactory>(
      new FunctionFactory([clsid = clsid_, shared = config_, stats = stats_](REFIID riid, void** out) -> HRESULT {
        if (shared->createFails) return E_FAIL;
        return Adopt<IBaseFilter>(new CameraFilter(clsid, shared, stats))->QueryInterface(riid, out);
      }));
  HRESULT hr = CoRegisterClassObject(clsid_, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_);
  if (FAILED(hr)) {
    ADD_FAILURE() << "CoRegisterClassObject failed: " << std::hex << hr;
    cookie_ = 0;
    return;
  }

  // The enumerator lists the keys in name order: a running number keeps the order of registration.
  static std::atomic<unsigned> sequence{0};
  std::wstring number = std::to_wstring(sequence++);
  number.insert(0, 6 - std::min<size_t>(6, number.size()), L'0');
  const std::wstring path =
      std::wstring(VideoInputInstanceKey()) + L"\\qmr-camera-" + number + L"-" + std::to_wstring(GetCurrentProcessId());
  HKEY key = nullptr;
  const LONG result =
      RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (result != ERROR_SUCCESS) {
    ADD_FAILURE() << "cannot create the device key, error " << result;
    return;
  }
  key_path_ = path;
  SetString(key, L"CLSID", GuidText(clsid_));
  if (config_->friendlyName) SetString(key, L"FriendlyName", *config_->friendlyName);
  if (config_->friendlyNameAsNumber) {
    const DWORD number = 0x00410041;  // would read as a pointer if taken for text
    RegSetValueExW(key, L"FriendlyName", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  }
  if (config_->description) SetString(key, L"Description", *config_->description);
  if (config_->devicePath) SetString(key, L"DevicePath", *config_->devicePath);
  RegCloseKey(key);
  if (config_->bindStorageFails) storage_failure_ = std::make_unique<StorageFailure>(clsid_);
  for (const Capability& cap : config_->caps) {
    if (cap.compression == FourCC('M', 'J', 'P', 'G') && Connectable(cap) &&
        !PrepareJpegFrames(cap.width, cap.height < 0 ? -cap.height : cap.height)) {
      ADD_FAILURE() << "cannot encode the JPEG frames of " << cap.width << "x" << cap.height;
    }
  }
}

VirtualCamera::~VirtualCamera() {
  storage_failure_.reset();
  if (!key_path_.empty()) RegDeleteTreeW(HKEY_CLASSES_ROOT, key_path_.c_str());
  if (cookie_ != 0) CoRevokeClassObject(cookie_);
}

}  // namespace virtual_camera
