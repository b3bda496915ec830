// qmr_dshow.dll as a foreign-function caller sees it: the export names, the cdecl convention, and the
// results of the library frame's exports.
#include <gtest/gtest.h>

#include "capture_dll.h"
#include "qmr_dshow.h"

namespace capture_tests {
namespace {

const char* const kExports[] = {"ds_init",         "ds_deinit",  "ds_set_logger",
                                "ds_list_devices", "ds_is_open", "ds_num_open_devices"};
// Not exported until they exist, rather than faked.
const char* const kNotYet[] = {"ds_open_device", "ds_close_device", "ds_start_capture", "ds_vflip_32"};

TEST(ExportTable, HasThePlainNamesAndNoDecoratedOnes) {
  CaptureDll dll;
  ASSERT_TRUE(dll.loaded());
  for (const char* name : kExports) {
    EXPECT_NE(nullptr, dll.Find(name)) << name;
    EXPECT_EQ(nullptr, dll.Find(("_" + std::string(name)).c_str())) << name;
  }
  EXPECT_EQ(nullptr, dll.Find("ds_init@0"));
}

TEST(ExportTable, EveryExportLeavesItsArgumentsToTheCaller) {
  CaptureDll dll;
  ASSERT_TRUE(dll.loaded());
  const struct {
    const char* name;
    uintptr_t a, b;
    int result;
  } cases[] = {
      {"ds_set_logger", 0, 0, 0},       {"ds_is_open", 0, 0, 0},
      {"ds_num_open_devices", 0, 0, 0}, {"ds_list_devices", 0, 0, 1},  // null records and count are refused
      {"ds_deinit", 0, 0, -2},
  };
  for (const auto& c : cases) {
    int popped = -1;
    EXPECT_EQ(c.result, dll.CallCdecl(c.name, c.a, c.b, 0, &popped)) << c.name;
    EXPECT_EQ(0, popped) << c.name;
  }
}

TEST(InitDeinit, ReturnTheirResultSequencesThroughTheDll) {
  CaptureDll dll;
  ASSERT_TRUE(dll.loaded());
  using Fn = int(QMR_CDECL*)();
  Fn init = dll.Get<Fn>("ds_init");
  Fn deinit = dll.Get<Fn>("ds_deinit");
  ASSERT_TRUE(init && deinit);
  EXPECT_EQ(-2, deinit());  // before any init
  EXPECT_EQ(0, init());
  EXPECT_EQ(-1, init());
  EXPECT_EQ(0, deinit());
  EXPECT_EQ(-2, deinit());
  EXPECT_EQ(0, init());
  EXPECT_EQ(0, deinit());
}

TEST(InitDeinit, InitialisesComOnTheCallingThread) {
  EXPECT_EQ(0, ds_init());
  // COM answers S_FALSE to a thread that already has its apartment.
  EXPECT_EQ(S_FALSE, CoInitialize(nullptr));
  CoUninitialize();
  EXPECT_EQ(0, ds_deinit());
  EXPECT_EQ(S_OK, CoInitialize(nullptr));
  CoUninitialize();
}

TEST(SetLogger, AlwaysReturnsZero) {
  ds_log_callback record = {[](int, const char*) {}};
  EXPECT_EQ(0, ds_set_logger(&record));
  EXPECT_EQ(0, ds_set_logger(&record));
  EXPECT_EQ(0, ds_set_logger(nullptr));
  EXPECT_EQ(0, ds_set_logger(nullptr));
}

TEST(OpenDeviceQueries, AnswerFromAnEmptyListForAnyPointer) {
  ds_capture_device record = {};
  EXPECT_EQ(0, ds_num_open_devices());
  EXPECT_EQ(0, ds_is_open(&record));
  EXPECT_EQ(0, ds_is_open(nullptr));
}

}  // namespace
}  // namespace capture_tests
