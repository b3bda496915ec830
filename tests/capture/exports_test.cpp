// qmr_dshow.dll as a foreign-function caller sees it: the export names, the cdecl convention, and the
// results of the library frame's exports.
#include <dshow.h>
#include <gtest/gtest.h>
#include <wrl/client.h>

#include <thread>
#include <vector>

#include "capture_dll.h"
#include "log_recorder.h"
#include "qmr_dshow.h"

namespace capture_tests {
namespace {

const char* const kExports[] = {"ds_init",         "ds_deinit",  "ds_set_logger",
                                "ds_list_devices", "ds_is_open", "ds_num_open_devices"};

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

// What COM says of the calling thread: its apartment, or CO_E_NOTINITIALIZED.
HRESULT ThreadApartment(APTTYPE* type) {
  APTTYPEQUALIFIER qualifier;
  return CoGetApartmentType(type, &qualifier);
}

TEST(InitDeinit, LeaveTheThreadsComAsTheCallerHadIt) {
  const struct {
    const char* what;
    HRESULT (*prepare)();  // the caller's own COM set-up on the thread
    HRESULT after;         // CoGetApartmentType after ds_init and ds_deinit
    APTTYPE apartment;
    bool refused;  // ds_init's CoInitialize refused and logged
  } cases[] = {
      {"fresh thread", [] { return S_OK; }, CO_E_NOTINITIALIZED, APTTYPE_CURRENT, false},
      {"caller's single-threaded apartment", [] { return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }, S_OK,
       APTTYPE_STA, false},
      {"caller's multithreaded apartment", [] { return CoInitializeEx(nullptr, COINIT_MULTITHREADED); }, S_OK,
       APTTYPE_MTA, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::thread([&c] {
      LogRecorder log;
      const HRESULT prepared = c.prepare();
      ASSERT_EQ(S_OK, prepared);
      EXPECT_EQ(0, ds_init());
      EXPECT_EQ(0, ds_deinit());
      APTTYPE apartment = APTTYPE_CURRENT;
      EXPECT_EQ(c.after, ThreadApartment(&apartment));
      if (SUCCEEDED(c.after)) {
        // The process's first single-threaded apartment is its main one.
        EXPECT_EQ(c.apartment, apartment == APTTYPE_MAINSTA ? APTTYPE_STA : apartment);
        // The caller's COM still works on the thread (an object without threads of its own).
        Microsoft::WRL::ComPtr<ICaptureGraphBuilder2> builder;
        EXPECT_EQ(S_OK,
                  CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&builder)));
        builder.Reset();
        CoUninitialize();
        EXPECT_EQ(CO_E_NOTINITIALIZED, ThreadApartment(&apartment));  // the caller's one init, and no more
      }
      const std::vector<LogEntry> refusal = {{4, "CoInitialize refused (0x80010106): COM stays as the thread had it"}};
      EXPECT_EQ(c.refused ? refusal : std::vector<LogEntry>{}, log.entries());
    }).join();
  }
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
