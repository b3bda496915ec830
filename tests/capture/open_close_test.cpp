// ds_open_device and ds_close_device against virtual cameras: the look-up by path or name, the log of
// each step, the result codes and bits, and the record's state afterwards.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <wrl/client.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "capture_fixture.h"
#include "class_override.h"
#include "dshow_ids.h"
#include "graph_interposers.h"
#include "test_support.h"
#include "virtual_camera.h"

namespace capture_tests {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;
using virtual_camera::CameraConfig;
using virtual_camera::ClassOverride;
using virtual_camera::VirtualCamera;

CameraConfig Device(const wchar_t* name, const wchar_t* path = nullptr) {
  CameraConfig config;
  config.friendlyName = name;
  if (path != nullptr) config.devicePath = path;
  return config;
}

void SetText(wchar_t* field, size_t units, const std::wstring& text) {
  std::memset(field, 0, units * sizeof(wchar_t));
  std::wmemcpy(field, text.c_str(), std::min(units, text.size()));
}

// A pointer as msvcrt's %p prints it: upper-case hexadecimal digits, two for each byte of a pointer.
std::string PointerText(const void* pointer) {
  char text[32];
  snprintf(text, sizeof text, "%0*llX", static_cast<int>(2 * sizeof pointer),
           static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(pointer)));
  return text;
}

class DeviceOpen : public ::testing::Test {
 protected:
  ScopedCom com_;
  LogRecorder log_;
};

TEST_F(DeviceOpen, LogsEveryStepOfAFreshOpen) {
  VirtualCamera camera(Device(L"Cam", L"path-cam"));
  ds_capture_device device = ListedRecord();
  log_.Clear();
  ASSERT_EQ(0, ds_open_device(&device));
  EXPECT_THAT(
      log_.entries(),
      ElementsAre(LogEntry{2, "Opening device: 'Cam' // 'path-cam'"}, LogEntry{2, "Initialized device graph"},
                  LogEntry{3, "Looking for device 'Cam' / 'path-cam'"}, LogEntry{3, "Found device using 'path-cam'"}));
  EXPECT_EQ(1, ds_is_open(&device));
  EXPECT_EQ(1, ds_num_open_devices());
  EXPECT_EQ(1u, device.format_count);
  EXPECT_NE(nullptr, device.capture_filter);
  EXPECT_NE(nullptr, device.graph);
  EXPECT_NE(nullptr, device.capture_builder);
  EXPECT_NE(nullptr, device.media_control);
  EXPECT_NE(nullptr, device.media_event);
  EXPECT_THAT(FilterNames(device), ElementsAre(L"Cam"));
  EXPECT_EQ(0x30, ds_close_device(&device));
}

TEST_F(DeviceOpen, FindsTheDeviceByPathWhenTheRecordHasOne) {
  VirtualCamera first(Device(L"Same", L"path-first"));
  VirtualCamera second(Device(L"Same", L"path-second"));
  const struct {
    const char* what;
    std::wstring name;
    std::wstring path;
    int result;
    int opened;  // index of the camera whose filter was created, or -1
  } cases[] = {
      {"path of the second", L"Same", L"path-second", 0, 1},
      {"path wins over a foreign name", L"Other", L"path-first", 0, 0},
      {"path of no device, name matches", L"Same", L"path-nowhere", 3, -1},
      {"two of one name, no path: the first", L"Same", L"", 0, 0},
      {"name of no device", L"Nobody", L"", 3, -1},
      {"names compare case-sensitively", L"same", L"", 3, -1},
  };
  VirtualCamera* cameras[] = {&first, &second};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const int created[] = {first.stats().filtersCreated, second.stats().filtersCreated};
    ds_capture_device device = {};
    SetText(device.name, 128, c.name);
    SetText(device.path, 512, c.path);
    EXPECT_EQ(c.result, ds_open_device(&device));
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(created[i] + (i == c.opened ? 1 : 0), cameras[i]->stats().filtersCreated) << i;
    }
    if (c.result == 0) {
      EXPECT_EQ(0x30, ds_close_device(&device));
    } else {
      EXPECT_TRUE(AllPointersNull(device));
      EXPECT_EQ(0, ds_is_open(&device));
    }
  }
}

TEST_F(DeviceOpen, FailsWithThreeWhenNoDeviceMatches) {
  VirtualCamera camera(Device(L"Cam", L"path-cam"));
  ds_capture_device device = {};
  SetText(device.name, 128, L"Cam");
  SetText(device.path, 512, L"path-else");
  log_.Clear();
  EXPECT_EQ(3, ds_open_device(&device));
  const std::vector<LogEntry> tail(log_.entries().end() - 3, log_.entries().end());
  EXPECT_THAT(tail,
              ElementsAre(LogEntry{5, "No device found when getting camera filter for path: 'path-else'"},
                          LogEntry{2, "De-initialized device graph"}, LogEntry{5, "Failed to get camera filter"}));
  EXPECT_TRUE(AllPointersNull(device));
  EXPECT_EQ(0, ds_num_open_devices());
}

TEST_F(DeviceOpen, FailsWithThreeWithoutAnyCamera) {
  ds_capture_device device = {};
  SetText(device.name, 128, L"Cam");
  EXPECT_EQ(3, ds_open_device(&device));
  EXPECT_THAT(log_.entries(),
              ElementsAre(LogEntry{2, "Opening device: 'Cam' // ''"}, LogEntry{2, "Initialized device graph"},
                          LogEntry{3, "Looking for device 'Cam' / ''"}, LogEntry{5, "Failed to enumerate devices"},
                          LogEntry{2, "De-initialized device graph"}, LogEntry{5, "Failed to get camera filter"}));
  EXPECT_TRUE(AllPointersNull(device));
}

TEST_F(DeviceOpen, GoesOnPastADeviceThatCannotBeReadOrBound) {
  const struct {
    const char* what;
    bool storage_fails;
    bool create_fails;
    std::vector<LogEntry> search;  // what the look-up logs after "Looking for device"
  } cases[] = {
      {"properties cannot be read",
       true,
       false,
       {{4, "Failed to bind to storage (GetCameraFilter)"}, {3, "Found device using 'Twin'"}}},
      {"filter cannot be bound", false, true, {{3, "Found device using 'Twin'"}, {3, "Found device using 'Twin'"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CameraConfig broken = Device(L"Twin");
    broken.bindStorageFails = c.storage_fails;
    broken.createFails = c.create_fails;
    VirtualCamera first(broken);
    VirtualCamera second(Device(L"Twin"));
    ds_capture_device device = {};
    SetText(device.name, 128, L"Twin");
    log_.Clear();
    EXPECT_EQ(0, ds_open_device(&device));
    const std::vector<LogEntry> search(log_.entries().begin() + 3, log_.entries().begin() + 3 + c.search.size());
    EXPECT_EQ(c.search, search);
    EXPECT_EQ(0, first.stats().filtersAlive);
    EXPECT_EQ(1, second.stats().filtersAlive);
    EXPECT_EQ(0x30, ds_close_device(&device));
  }
}

TEST_F(DeviceOpen, FindsADeviceWithoutPathByItsDescriptionBeforeItsFriendlyName) {
  CameraConfig described = Device(L"Friendly");
  described.description = L"Described";
  VirtualCamera camera(described);
  const struct {
    const wchar_t* name;
    int result;
  } cases[] = {
      {L"Described", 0}, {L"Friendly", 3},  // the friendly name serves only a device whose description cannot be read
  };
  for (const auto& c : cases) {
    ds_capture_device device = {};
    SetText(device.name, 128, c.name);
    log_.Clear();
    EXPECT_EQ(c.result, ds_open_device(&device));
    EXPECT_EQ(c.result == 0, log_.Contains(3, "Found device using 'Described'"));
    if (c.result == 0) {
      EXPECT_EQ(0x30, ds_close_device(&device));
    }
  }
  EXPECT_EQ(1, camera.stats().filtersCreated);
}

TEST_F(DeviceOpen, FailsWithTwoWhenTheGraphCannotBeBuilt) {
  VirtualCamera camera(Device(L"Cam"));
  ds_capture_device device = ListedRecord();
  auto code_text = [](HRESULT code) { return std::to_string(static_cast<int>(code)); };
  const struct {
    const CLSID* clsid;
    HRESULT code;
    std::string creation;  // the first of the three lines
  } cases[] = {
      {&CLSID_CaptureGraphBuilder2, REGDB_E_CLASSNOTREG,
       "Failed to create graph builder instance (REGDB_E_CLASSNOTREG)"},
      {&CLSID_CaptureGraphBuilder2, CLASS_E_NOAGGREGATION,
       "Failed to create graph builder instance (CLASS_E_NOAGGRRETATION)"},
      {&CLSID_CaptureGraphBuilder2, E_FAIL, "Failed to create graph builder instance (" + code_text(E_FAIL) + ")"},
      {&CLSID_FilterGraph, E_OUTOFMEMORY, "Failed to create filter graph instance"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.creation);
    ClassOverride missing(*c.clsid, ClassOverride::kFails, c.code);
    log_.Clear();
    EXPECT_EQ(2, ds_open_device(&device));
    EXPECT_THAT(log_.entries(),
                ElementsAre(LogEntry{2, "Opening device: 'Cam' // ''"}, LogEntry{5, c.creation},
                            LogEntry{5, "Failed to initiate capture graph builder (" + code_text(c.code) + ")"},
                            LogEntry{5, "Failed to initialize device graph"}));
    EXPECT_TRUE(AllPointersNull(device));
    EXPECT_EQ(0, ds_is_open(&device));
  }
  EXPECT_EQ(0, camera.stats().filtersCreated);
}

TEST_F(DeviceOpen, CannotOpenByANameLongerThanTheField) {
  const std::wstring long_name = std::wstring(128, L'n') + L"tail";
  VirtualCamera camera(Device(long_name.c_str()));
  ds_capture_device device = ListedRecord();
  EXPECT_EQ(3, ds_open_device(&device));
  // The log shows the field's 128 units and no more, although the field has no terminator.
  EXPECT_TRUE(log_.Contains(2, "Opening device: '" + std::string(128, 'n') + "' // ''"));
}

TEST_F(DeviceOpen, LogsANameThatFillsItsFieldOnlyUpToTheFieldsEnd) {
  // The name's 128 units have no terminator: a path behind them must not be read as more of it.
  const std::wstring name(128, L'n');
  for (const wchar_t* path : {L"", L"\\\\?\\vcam#full-name"}) {
    SCOPED_TRACE(testing_support::Utf8(path));
    VirtualCamera camera(Device(name.c_str(), *path != L'\0' ? path : nullptr));
    ds_capture_device device = ListedRecord();
    ASSERT_EQ(0, ds_open_device(&device));
    EXPECT_TRUE(
        log_.Contains(2, "Opening device: '" + std::string(128, 'n') + "' // '" + testing_support::Utf8(path) + "'"));
    EXPECT_EQ(0x30, ds_close_device(&device));
    log_.Clear();
  }
}

TEST_F(DeviceOpen, RefusesAnAlreadyOpenRecordAndKeepsItsGraph) {
  VirtualCamera camera(Device(L"Cam"));
  ds_capture_device device = ListedRecord();
  ASSERT_EQ(0, ds_open_device(&device));
  const ds_capture_device before = device;
  log_.Clear();
  EXPECT_EQ(3, ds_open_device(&device));
  EXPECT_THAT(log_.entries(),
              ElementsAre(LogEntry{2, "Opening device: 'Cam' // ''"}, LogEntry{4, "Device is already open"}));
  EXPECT_EQ(0, std::memcmp(&before, &device, sizeof device));
  EXPECT_EQ(1, camera.stats().filtersCreated);
  EXPECT_EQ(1, ds_num_open_devices());
  EXPECT_EQ(0x30, ds_close_device(&device));
  EXPECT_EQ(0, camera.stats().filtersAlive);
}

TEST_F(DeviceOpen, RefusesANullRecord) {
  EXPECT_EQ(1, ds_open_device(nullptr));
  EXPECT_THAT(log_.entries(), ElementsAre(LogEntry{5, "Invalid device"}));
}

TEST_F(DeviceOpen, AddsAnMjpegDecompressorWhenThePreviousFormatWasMjpg) {
  VirtualCamera camera(Device(L"Cam"));
  ds_capture_device device = ListedRecord();
  device.current_format = {640, 480, 0x47504A4D};
  {
    ClassOverride decompressor(kClsidMjpegDecompressor, ClassOverride::kStubFilter);
    ASSERT_EQ(0, ds_open_device(&device));
    EXPECT_TRUE(log_.Contains(5, "Adding MJPEG decompressor filter"));
    EXPECT_NE(nullptr, device.mjpeg_decompressor);
    EXPECT_THAT(FilterNames(device), Contains(L"MJPEG Decompressor"));
    EXPECT_EQ(0x30, ds_close_device(&device));
    EXPECT_TRUE(log_.Contains(2, "Removing MJPEG decompressor filter"));
    EXPECT_EQ(0, decompressor.alive());
  }
  // Without one on the platform the open still succeeds.
  device.current_format = {640, 480, 0x47504A4D};
  log_.Clear();
  ClassOverride missing(kClsidMjpegDecompressor, ClassOverride::kFails);
  ASSERT_EQ(0, ds_open_device(&device));
  EXPECT_TRUE(log_.Contains(5, "Failed to create MJPEG decompressor"));
  EXPECT_EQ(nullptr, device.mjpeg_decompressor);
  EXPECT_EQ(0x30, ds_close_device(&device));
}

TEST_F(DeviceOpen, ReopensAClosedRecordWithoutListing) {
  VirtualCamera camera(Device(L"Cam"));
  ds_capture_device device = ListedRecord();
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(0, ds_open_device(&device)) << round;
    EXPECT_EQ(1, ds_is_open(&device));
    EXPECT_EQ(0x30, ds_close_device(&device));
    EXPECT_EQ(0, ds_is_open(&device));
    EXPECT_TRUE(AllPointersNull(device));
    EXPECT_EQ(L"Cam", std::wstring(device.name));
    EXPECT_EQ(1u, device.format_count);
  }
  EXPECT_EQ(0, camera.stats().filtersAlive);
}

class DeviceClose : public DeviceOpen {};

TEST_F(DeviceClose, RefusesANullRecordAndOneThatIsNotOpen) {
  EXPECT_EQ(1, ds_close_device(nullptr));
  EXPECT_THAT(log_.entries(), ElementsAre(LogEntry{4, "No device to close"}));
  log_.Clear();
  ds_capture_device device = {};
  SetText(device.name, 128, L"Never");
  EXPECT_EQ(2, ds_close_device(&device));
  EXPECT_THAT(log_.entries(), ElementsAre(LogEntry{3, "Closing device: " + PointerText(&device) + " (Never)"},
                                          LogEntry{4, "Device is not open"}));
}

TEST_F(DeviceClose, LogsEveryStepAndSetsABitForEachFilterNeverAdded) {
  VirtualCamera camera(Device(L"Cam"));
  ds_capture_device device = ListedRecord();
  ASSERT_EQ(0, ds_open_device(&device));
  log_.Clear();
  EXPECT_EQ(0x10 | 0x20, ds_close_device(&device));
  const std::string opening = "Closing device: " + PointerText(&device) + " (Cam)";
  EXPECT_THAT(log_.entries(),
              ElementsAre(LogEntry{3, opening}, LogEntry{2, "Prerequisites for closing device exists..."},
                          LogEntry{2, "Stopping graph"}, LogEntry{2, "Successfully stop graph"},
                          LogEntry{2, "Removing null renderer filter"},
                          LogEntry{5, "Failed to remove the null renderer filter"},
                          LogEntry{2, "Removing grabber filter"}, LogEntry{5, "Failed to remove the grabber filter"},
                          LogEntry{2, "De-initialized device graph"}, LogEntry{2, "Device graph de-initialized"}));
  EXPECT_TRUE(AllPointersNull(device));
  EXPECT_EQ(0, camera.stats().filtersAlive);
  EXPECT_EQ(2, ds_close_device(&device));  // closing twice
}

TEST_F(DeviceClose, ReportsAGraphWithoutControl) {
  VirtualCamera camera(Device(L"Cam"));
  ds_capture_device device = ListedRecord();
  ASSERT_EQ(0, ds_open_device(&device));
  // What a caller that meddles with the opaque fields leaves behind.
  device.media_control->Release();
  device.media_control = nullptr;
  log_.Clear();
  EXPECT_EQ(0x02 | 0x10 | 0x20, ds_close_device(&device));
  EXPECT_TRUE(log_.Contains(5, "Not stopping graph, control does not exist"));
  EXPECT_FALSE(log_.Contains(2, "Stopping graph"));
  EXPECT_TRUE(AllPointersNull(device));
  EXPECT_EQ(0, ds_num_open_devices());
}

TEST_F(DeviceClose, LogsWhatTheGraphReportedAboutTheDevice) {
  struct Event {
    long code;
    LONG_PTR param2;  // param1 is the capture filter for a loss, the error code for an abort
  };
  const struct {
    const char* what;
    std::vector<Event> events;
    std::vector<std::string> warnings;
  } cases[] = {
      {"nothing", {}, {}},
      {"the device was lost", {{EC_DEVICE_LOST, 0}}, {"Device was lost while capturing"}},
      {"the device came back", {{EC_DEVICE_LOST, 1}}, {}},
      {"the stream aborted", {{EC_ERRORABORT, 0}}, {"Capture aborted (0x8007001f)"}},
      {"an abort, another event and the loss",
       {{EC_ERRORABORT, 0}, {EC_ERROR_STILLPLAYING, 0}, {EC_DEVICE_LOST, 0}},
       {"Capture aborted (0x8007001f)", "Device was lost while capturing"}},
  };
  VirtualCamera camera(Device(L"Cam"));
  ds_capture_device device = ListedRecord();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(0, ds_open_device(&device));
    Microsoft::WRL::ComPtr<IMediaEventSink> sink;
    ASSERT_HRESULT_SUCCEEDED(device.graph->QueryInterface(IID_PPV_ARGS(&sink)));
    for (const Event& event : c.events) {
      const LONG_PTR param1 = event.code == EC_ERRORABORT ? static_cast<LONG_PTR>(0x8007001F)
                                                          : reinterpret_cast<LONG_PTR>(device.capture_filter);
      ASSERT_HRESULT_SUCCEEDED(sink->Notify(event.code, param1, event.param2));
    }
    sink.Reset();
    auto ledger = std::make_shared<EventLedger>();
    device.media_event = new AccountedEvents(device.media_event, ledger);
    log_.Clear();
    EXPECT_EQ(0x30, ds_close_device(&device));
    std::vector<std::string> warnings;
    for (const LogEntry& entry : log_.entries()) {
      if (entry.level == 4) warnings.push_back(entry.text);
    }
    EXPECT_EQ(c.warnings, warnings);
    // Some events carry strings or references that only FreeEventParams gives back.
    EXPECT_EQ(c.events.size(), ledger->read.size());
    EXPECT_EQ(ledger->read, ledger->freed) << "every event read is freed, once";
    EXPECT_TRUE(AllPointersNull(device));
    EXPECT_EQ(0, camera.stats().filtersAlive);
  }
}

TEST_F(DeviceClose, LeavesARecordListedIntoWhileOpenInTheList) {
  VirtualCamera camera(Device(L"Cam"));
  ds_capture_device records[1];
  uint32_t count = 1;
  ASSERT_EQ(0, ds_list_devices(records, &count));
  ASSERT_EQ(0, ds_open_device(&records[0]));
  ds_capture_device stranded = records[0];  // what listing makes unreachable
  count = 1;
  ASSERT_EQ(0, ds_list_devices(records, &count));
  EXPECT_EQ(1, ds_is_open(&records[0]));
  EXPECT_EQ(2, ds_close_device(&records[0]));
  EXPECT_EQ(1, ds_is_open(&records[0]));
  log_.Clear();
  EXPECT_EQ(0, ds_open_device(&records[0]));
  EXPECT_TRUE(log_.Contains(5, "Failed to register opened device"));
  EXPECT_EQ(1, ds_num_open_devices());
  EXPECT_EQ(0x30, ds_close_device(&records[0]));
  // The stranded objects are still reachable through the copy, which is not in the list.
  EXPECT_EQ(0x04 | 0x10 | 0x20, ds_close_device(&stranded));
  EXPECT_EQ(0, camera.stats().filtersAlive);
}

}  // namespace
}  // namespace capture_tests
