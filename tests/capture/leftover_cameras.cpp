// Every device suite starts from a category without the cameras of test processes that crashed, so
// that a suite expecting no device, or the first device, is not misled by someone else's.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "log_recorder.h"
#include "qmr_dshow.h"
#include "virtual_camera.h"

namespace capture_tests {
namespace {

class CleanDeviceCategory : public ::testing::Environment {
 public:
  void SetUp() override {
    const int removed = virtual_camera::RemoveLeftoverCameras();
    if (removed > 0) printf("removed %d virtual cameras left by ended processes\n", removed);
  }
};

[[maybe_unused]] const ::testing::Environment* const kCleanDeviceCategory =
    ::testing::AddGlobalTestEnvironment(new CleanDeviceCategory);

}  // namespace
}  // namespace capture_tests

namespace capture_tests {
namespace {

// A device key as a camera of another process would have left it.
void LeaveCamera(const std::wstring& key_name, const CLSID& clsid) {
  const std::wstring path = std::wstring(virtual_camera::VideoInputInstanceKey()) + L"\\" + key_name;
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
  wchar_t text[40] = {};
  StringFromGUID2(clsid, text, 40);
  RegSetValueExW(key, L"CLSID", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
  const wchar_t name[] = L"Left behind";
  RegSetValueExW(key, L"FriendlyName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name), sizeof name);
  RegCloseKey(key);
}

TEST(LeftoverCameras, AreRemovedWhileTheCamerasOfRunningProcessesStay) {
  ScopedCom com;
  virtual_camera::VirtualCamera mine;
  const std::wstring own_pid = std::to_wstring(GetCurrentProcessId());
  // An id that no process has, and this process's id with another start time (an id used again).
  LeaveCamera(L"qmr-camera-000000-4294967290-0000000000000000", mine.clsid());
  LeaveCamera(L"qmr-camera-000000-" + own_pid + L"-0000000000000001", mine.clsid());
  ds_capture_device records[3] = {};
  uint32_t count = 3;
  ds_list_devices(records, &count);
  EXPECT_EQ(3u, count);
  EXPECT_EQ(2, virtual_camera::RemoveLeftoverCameras());
  count = 3;
  ds_list_devices(records, &count);
  ASSERT_EQ(1u, count);
  EXPECT_EQ(std::wstring(L"Virtual Camera"), records[0].name);
  EXPECT_EQ(0, virtual_camera::RemoveLeftoverCameras());
}

}  // namespace
}  // namespace capture_tests
