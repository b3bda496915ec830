#include "virtual_camera.h"

#include <dshow.h>
#include <gtest/gtest.h>
#include <wrl/client.h>

#include "adopt.h"
#include "com_object.h"

#include <wchar.h>

#include <algorithm>
#include <atomic>
#include <vector>

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

constexpr wchar_t kKeyPrefix[] = L"qmr-camera-";

// A process by its id and start time, so that a reused id does not pass for the camera's owner.
std::wstring ProcessStamp(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (process == nullptr) return L"";
  FILETIME created = {}, exited = {}, kernel = {}, user = {};
  DWORD exit_code = 0;
  const bool running = GetProcessTimes(process, &created, &exited, &kernel, &user) &&
                       GetExitCodeProcess(process, &exit_code) && exit_code == STILL_ACTIVE;
  CloseHandle(process);
  if (!running) return L"";
  wchar_t text[32] = {};
  swprintf(text, 32, L"%lu-%08lx%08lx", pid, created.dwHighDateTime, created.dwLowDateTime);
  return text;
}

// Key names are the prefix, a running number and the owner's stamp.
bool OwnerIsGone(const std::wstring& name) {
  const size_t number_end = name.find(L'-', wcslen(kKeyPrefix));
  if (number_end == std::wstring::npos) return false;
  const std::wstring owner = name.substr(number_end + 1);
  const DWORD pid = wcstoul(owner.c_str(), nullptr, 10);
  return ProcessStamp(pid) != owner;
}

}  // namespace

const wchar_t* VideoInputInstanceKey() { return L"CLSID\\{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\Instance"; }

int RemoveLeftoverCameras() {
  HKEY category = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, VideoInputInstanceKey(), 0, KEY_READ, &category) != ERROR_SUCCESS) return 0;
  std::vector<std::wstring> gone;
  wchar_t name[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = 256;
    if (RegEnumKeyExW(category, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    const std::wstring key(name, length);
    if (key.compare(0, wcslen(kKeyPrefix), kKeyPrefix) == 0 && OwnerIsGone(key)) gone.push_back(key);
  }
  RegCloseKey(category);
  int removed = 0;
  for (const std::wstring& key : gone) {
    const std::wstring path = std::wstring(VideoInputInstanceKey()) + L"\\" + key;
    if (RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str()) == ERROR_SUCCESS) ++removed;
  }
  return removed;
}

VirtualCamera::VirtualCamera(CameraConfig config)
    : config_(std::make_shared<const CameraConfig>(std::move(config))),
      stats_(std::make_shared<CameraStats>()),
      presence_(std::make_shared<CameraPresence>()) {
  if (FAILED(CoCreateGuid(&clsid_))) {
    ADD_FAILURE() << "no GUID for a virtual camera";
    return;
  }
  Microsoft::WRL::ComPtr<IClassFactory> factory = Adopt<IClassFactory>(new FunctionFactory(
      [clsid = clsid_, shared = config_, stats = stats_, presence = presence_](REFIID riid, void** out) -> HRESULT {
        if (shared->createFails) return E_FAIL;
        if (!presence->plugged()) return kDeviceGone;
        return Adopt<IBaseFilter>(new CameraFilter(clsid, shared, stats, presence))->QueryInterface(riid, out);
      }));
  HRESULT hr = CoRegisterClassObject(clsid_, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_);
  if (FAILED(hr)) {
    ADD_FAILURE() << "CoRegisterClassObject failed: " << std::hex << hr;
    cookie_ = 0;
    return;
  }

  // Before this process's first camera, so that a demo or benchmark starts clean as the tests do.
  static const int leftovers_removed = RemoveLeftoverCameras();
  (void)leftovers_removed;

  // The enumerator lists the keys in name order: a running number keeps the order of registration.
  static std::atomic<unsigned> sequence{0};
  std::wstring number = std::to_wstring(sequence++);
  number.insert(0, 6 - std::min<size_t>(6, number.size()), L'0');
  key_path_ =
      std::wstring(VideoInputInstanceKey()) + L"\\" + kKeyPrefix + number + L"-" + ProcessStamp(GetCurrentProcessId());
  if (!WriteDeviceKey()) {
    key_path_.clear();
    return;
  }
  if (config_->bindStorageFails) storage_failure_ = std::make_unique<StorageFailure>(clsid_);
  for (const Capability& cap : config_->caps) {
    if (cap.compression == FourCC('M', 'J', 'P', 'G') && Connectable(cap) &&
        !PrepareJpegFrames(cap.width, cap.height < 0 ? -cap.height : cap.height)) {
      ADD_FAILURE() << "cannot encode the JPEG frames of " << cap.width << "x" << cap.height;
    }
  }
}

bool VirtualCamera::WriteDeviceKey() {
  HKEY key = nullptr;
  const LONG result =
      RegCreateKeyExW(HKEY_CLASSES_ROOT, key_path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (result != ERROR_SUCCESS) {
    ADD_FAILURE() << "cannot create the device key, error " << result;
    return false;
  }
  SetString(key, L"CLSID", GuidText(clsid_));
  if (config_->friendlyName) SetString(key, L"FriendlyName", *config_->friendlyName);
  if (config_->friendlyNameAsNumber) {
    const DWORD number = 0x00410041;  // would read as a pointer if taken for text
    RegSetValueExW(key, L"FriendlyName", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  }
  if (config_->description) SetString(key, L"Description", *config_->description);
  if (config_->devicePath) SetString(key, L"DevicePath", *config_->devicePath);
  RegCloseKey(key);
  return true;
}

void VirtualCamera::Unplug() {
  presence_->Unplug();
  if (!key_path_.empty()) {
    const LONG result = RegDeleteTreeW(HKEY_CLASSES_ROOT, key_path_.c_str());
    if (result != ERROR_SUCCESS) ADD_FAILURE() << "cannot remove the device key, error " << result;
  }
}

void VirtualCamera::PlugIn() {
  // The same key as before, so that the device keeps its place in the enumerator's order.
  if (!key_path_.empty()) WriteDeviceKey();
  presence_->PlugIn();
}

VirtualCamera::~VirtualCamera() {
  storage_failure_.reset();
  if (!key_path_.empty()) RegDeleteTreeW(HKEY_CLASSES_ROOT, key_path_.c_str());
  if (cookie_ != 0) CoRevokeClassObject(cookie_);
}

}  // namespace virtual_camera
