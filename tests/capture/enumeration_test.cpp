// ds_list_devices against virtual cameras registered in the prefix: what lands in the caller's records,
// what is passed over and counted, and the log of each case.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "capture_dll.h"
#include "log_recorder.h"
#include "qmr_dshow.h"
#include "virtual_camera.h"

namespace capture_tests {
namespace {

using ::testing::ElementsAre;
using virtual_camera::CameraConfig;
using virtual_camera::VirtualCamera;

const LogEntry kListing2 = {2, "Listing devices (invalidates the old list)"};
const LogEntry kListing3 = {3, "Listing devices"};

std::wstring FieldText(const wchar_t* field, size_t units) {
  size_t length = 0;
  while (length < units && field[length] != L'\0') ++length;
  return std::wstring(field, length);
}

bool AllBytes(const void* data, size_t size, unsigned char value) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] != value) return false;
  }
  return true;
}

// A listed record is zero everywhere but name and path.
bool ZeroOutsideNameAndPath(const ds_capture_device& record) {
  ds_capture_device copy = record;
  std::memset(copy.name, 0, sizeof copy.name);
  std::memset(copy.path, 0, sizeof copy.path);
  return AllBytes(&copy, sizeof copy, 0);
}

CameraConfig Named(const wchar_t* friendly, const wchar_t* description = nullptr, const wchar_t* path = nullptr) {
  CameraConfig config;
  config.friendlyName = friendly != nullptr ? std::optional<std::wstring>(friendly) : std::nullopt;
  if (description != nullptr) config.description = description;
  if (path != nullptr) config.devicePath = path;
  return config;
}

class DeviceListing : public ::testing::Test {
 protected:
  // Records filled with a marker byte, so that clearing and untouched bytes both show.
  std::vector<ds_capture_device> Records(size_t count) {
    std::vector<ds_capture_device> records(count);
    std::memset(records.data(), 0xAB, sizeof(ds_capture_device) * count);
    return records;
  }

  ScopedCom com_;
  LogRecorder log_;
};

TEST_F(DeviceListing, WithoutAnyDeviceFailsAndLeavesTheRecordsAlone) {
  auto records = Records(3);
  uint32_t count = 3;
  EXPECT_EQ(1, ds_list_devices(records.data(), &count));
  EXPECT_EQ(0u, count);
  EXPECT_TRUE(AllBytes(records.data(), sizeof(ds_capture_device) * 3, 0xAB));
  EXPECT_THAT(log_.entries(), ElementsAre(kListing2, kListing3, LogEntry{5, "Failed to enumerate devices"}));
}

TEST_F(DeviceListing, FillsOneRecordAndClearsTheRestOfTheCapacity) {
  VirtualCamera camera(Named(L"Friendly Cam", L"Described Cam", L"\\\\?\\usb#vid_0001#1"));
  auto records = Records(3);
  uint32_t count = 3;
  EXPECT_EQ(0, ds_list_devices(records.data(), &count));
  ASSERT_EQ(1u, count);
  EXPECT_EQ(L"Described Cam", FieldText(records[0].name, 128));
  EXPECT_EQ(L"\\\\?\\usb#vid_0001#1", FieldText(records[0].path, 512));
  EXPECT_TRUE(ZeroOutsideNameAndPath(records[0]));
  EXPECT_TRUE(AllBytes(&records[0].name[13], sizeof records[0].name - 13 * 2, 0)) << "name is zero-padded";
  EXPECT_TRUE(AllBytes(&records[1], sizeof(ds_capture_device) * 2, 0));
  EXPECT_THAT(log_.entries(), ElementsAre(kListing2, kListing3));
}

TEST_F(DeviceListing, ListsDevicesInTheEnumeratorsOrder) {
  VirtualCamera first(Named(L"First"));
  VirtualCamera second(Named(L"Second"));
  auto records = Records(2);
  uint32_t count = 2;
  EXPECT_EQ(0, ds_list_devices(records.data(), &count));
  ASSERT_EQ(2u, count);
  EXPECT_EQ(L"First", FieldText(records[0].name, 128));
  EXPECT_EQ(L"Second", FieldText(records[1].name, 128));
}

TEST_F(DeviceListing, SkipsDevicesBeyondTheCapacityWithoutCountingThem) {
  VirtualCamera first(Named(L"First"));
  VirtualCamera second(Named(L"Second"));
  const struct {
    uint32_t capacity;
    std::vector<LogEntry> skipped;
  } cases[] = {
      {1, {{4, "Skipping Second since pre-allocated device storage is exausted"}}},
      {0,
       {{4, "Skipping First since pre-allocated device storage is exausted"},
        {4, "Skipping Second since pre-allocated device storage is exausted"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.capacity);
    log_.Clear();
    auto records = Records(2);
    uint32_t count = c.capacity;
    EXPECT_EQ(0, ds_list_devices(records.data(), &count));
    EXPECT_EQ(c.capacity, count);
    std::vector<LogEntry> expected = {kListing2, kListing3};
    expected.insert(expected.end(), c.skipped.begin(), c.skipped.end());
    EXPECT_EQ(expected, log_.entries());
    if (c.capacity == 1) {
      EXPECT_EQ(L"First", FieldText(records[0].name, 128));
    }
    // Only the capacity is cleared; the record beyond it is the caller's.
    EXPECT_TRUE(AllBytes(&records[c.capacity], sizeof(ds_capture_device), 0xAB));
  }
}

TEST_F(DeviceListing, TakesTheNameAndPathTheDeviceHas) {
  const std::wstring name128(128, L'n');
  const std::wstring name200 = std::wstring(128, L'l') + std::wstring(72, L'x');
  const std::wstring path512(512, L'p');
  const struct {
    const char* what;
    CameraConfig config;
    std::wstring name;
    std::wstring path;
  } cases[] = {
      {"description preferred", Named(L"Friendly", L"Description", L"path-1"), L"Description", L"path-1"},
      {"friendly name without description", Named(L"Friendly", nullptr, L"path-2"), L"Friendly", L"path-2"},
      {"no device path", Named(L"Friendly"), L"Friendly", L""},
      {"empty device path", Named(L"Friendly", nullptr, L""), L"Friendly", L""},
      {"name of 128 units", Named(name128.c_str()), name128, L""},
      {"longer name", Named(name200.c_str()), name200.substr(0, 128), L""},
      {"path of 512 units", Named(L"Friendly", nullptr, path512.c_str()), L"Friendly", path512},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    VirtualCamera camera(c.config);
    auto records = Records(2);
    uint32_t count = 2;
    EXPECT_EQ(0, ds_list_devices(records.data(), &count));
    ASSERT_EQ(1u, count);
    EXPECT_EQ(c.name, FieldText(records[0].name, 128));
    EXPECT_EQ(c.path, FieldText(records[0].path, 512));
    EXPECT_TRUE(ZeroOutsideNameAndPath(records[0]));
    // A name that fills the field ends at the field's end: the next field begins with the path.
    if (c.name.size() == 128) {
      EXPECT_EQ(c.path.empty() ? L'\0' : c.path[0], records[0].path[0]);
    }
  }
}

TEST_F(DeviceListing, CountsDevicesWhoseReadingFailed) {
  CameraConfig unbindable = Named(L"Unbindable");
  unbindable.bindStorageFails = true;
  VirtualCamera bad_storage(unbindable);
  VirtualCamera nameless(Named(nullptr, nullptr, L"path-nameless"));
  VirtualCamera good(Named(L"Good"));
  auto records = Records(3);
  uint32_t count = 3;
  EXPECT_EQ(2, ds_list_devices(records.data(), &count));
  ASSERT_EQ(1u, count);
  EXPECT_EQ(L"Good", FieldText(records[0].name, 128));
  EXPECT_THAT(log_.entries(),
              ElementsAre(kListing2, kListing3, LogEntry{5, "Failed to bind to storage. Skipping device."},
                          LogEntry{5, "Skipping device, unable to find description"}));
}

TEST_F(DeviceListing, TakesANameThatIsNoTextAsUnreadable) {
  CameraConfig numbered = Named(nullptr, nullptr, L"path-numbered");
  numbered.friendlyNameAsNumber = true;
  VirtualCamera camera(numbered);
  auto records = Records(1);
  uint32_t count = 1;
  EXPECT_EQ(1, ds_list_devices(records.data(), &count));
  EXPECT_EQ(0u, count);
  EXPECT_TRUE(log_.Contains(5, "Skipping device, unable to find description"));
}

TEST_F(DeviceListing, TellsAFailedOnlyDeviceFromNoDeviceByTheLog) {
  VirtualCamera nameless(Named(nullptr));
  auto records = Records(1);
  uint32_t count = 1;
  EXPECT_EQ(1, ds_list_devices(records.data(), &count));
  EXPECT_EQ(0u, count);
  EXPECT_FALSE(log_.Contains(5, "Failed to enumerate devices"));
  EXPECT_TRUE(log_.Contains(5, "Skipping device, unable to find description"));
}

TEST_F(DeviceListing, RefusesNullArgumentsTouchingNothing) {
  VirtualCamera camera(Named(L"Cam"));
  auto records = Records(1);
  uint32_t count = 1;
  EXPECT_EQ(1, ds_list_devices(nullptr, &count));
  EXPECT_EQ(1u, count);
  EXPECT_EQ(1, ds_list_devices(records.data(), nullptr));
  EXPECT_TRUE(AllBytes(records.data(), sizeof(ds_capture_device), 0xAB));
  EXPECT_TRUE(log_.entries().empty());
}

// The records' layout as a foreign-function binding computes it with natural alignment: x86, x64.
struct RawLayout {
  size_t pointer, name, path, format_count, formats, current_format, capture_builder, graph, media_control, media_event,
      size;
};
constexpr RawLayout kRawLayout = sizeof(void*) == 8
                                     ? RawLayout{8, 40, 296, 1320, 1324, 2092, 2104, 2112, 2120, 2128, 2136}
                                     : RawLayout{4, 20, 276, 1300, 1304, 2072, 2084, 2088, 2092, 2096, 2100};

TEST(DeviceListingThroughTheDll, FillsRawMemoryAtTheFixedOffsets) {
  ScopedCom com;
  VirtualCamera first(Named(L"Raw One", nullptr, L"raw-path-1"));
  VirtualCamera second(Named(L"Raw Two"));
  CaptureDll dll;
  auto list = dll.Get<int(QMR_CDECL*)(void*, uint32_t*)>("ds_list_devices");
  auto open = dll.Get<int(QMR_CDECL*)(void*)>("ds_open_device");
  auto close = dll.Get<int(QMR_CDECL*)(void*)>("ds_close_device");
  ASSERT_NE(nullptr, list);
  ASSERT_NE(nullptr, open);
  ASSERT_NE(nullptr, close);
  const RawLayout& at = kRawLayout;
  // Two records as a foreign-function layer allocates them, with a guard after them.
  std::vector<unsigned char> memory(2 * at.size + 16, 0xCD);
  uint32_t count = 2;
  EXPECT_EQ(0, list(memory.data(), &count));
  ASSERT_EQ(2u, count);
  auto text_at = [&](size_t offset, size_t units) {
    std::wstring text;
    for (size_t i = 0; i < units; ++i) {
      wchar_t unit = static_cast<wchar_t>(memory[offset + 2 * i] | memory[offset + 2 * i + 1] << 8);
      if (unit == 0) break;
      text += unit;
    }
    return text;
  };
  auto pointer_at = [&](size_t offset) {
    uint64_t value = 0;
    std::memcpy(&value, &memory[offset], at.pointer);
    return value;
  };
  auto int_at = [&](size_t offset) {
    int32_t value = 0;
    std::memcpy(&value, &memory[offset], 4);
    return value;
  };
  EXPECT_EQ(L"Raw One", text_at(at.name, 128));
  EXPECT_EQ(L"raw-path-1", text_at(at.path, 512));
  EXPECT_EQ(L"Raw Two", text_at(at.size + at.name, 128));
  EXPECT_EQ(L"", text_at(at.size + at.path, 512));
  EXPECT_TRUE(AllBytes(&memory[0], at.name, 0));
  EXPECT_TRUE(AllBytes(&memory[at.format_count], at.size - at.format_count, 0));  // format_count to media_event
  EXPECT_TRUE(AllBytes(&memory[2 * at.size], 16, 0xCD));

  // What the open writes: the capture filter, the format list, the graph's four objects.
  ASSERT_EQ(0, open(memory.data()));
  EXPECT_NE(0u, pointer_at(0));
  for (size_t field = 1; field < 5; ++field) EXPECT_EQ(0u, pointer_at(field * at.pointer)) << field;
  EXPECT_EQ(1, int_at(at.format_count));
  for (size_t format : {at.formats, at.current_format}) {
    EXPECT_EQ(320, int_at(format));
    EXPECT_EQ(240, int_at(format + 4));
    EXPECT_EQ(0, int_at(format + 8));
  }
  for (size_t field : {at.capture_builder, at.graph, at.media_control, at.media_event}) {
    EXPECT_NE(0u, pointer_at(field)) << field;
  }
  EXPECT_EQ(0x30, close(memory.data()));
  EXPECT_TRUE(AllBytes(&memory[0], 5 * at.pointer, 0));
  EXPECT_TRUE(AllBytes(&memory[at.capture_builder], at.size - at.capture_builder, 0));
  EXPECT_TRUE(AllBytes(&memory[2 * at.size], 16, 0xCD));
}

}  // namespace
}  // namespace capture_tests
