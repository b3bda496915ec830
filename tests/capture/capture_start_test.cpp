// ds_start_capture against virtual cameras streaming into the platform's own graph: frames in the
// caller's callback, every result of the start, and the record that close leaves afterwards.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>

#include "capture_fixture.h"
#include "class_override.h"
#include "dshow_ids.h"
#include "frame_callback.h"
#include "graph_interposers.h"
#include "virtual_camera.h"

namespace capture_tests {
namespace {

using ::testing::Contains;
using ::testing::Not;
using virtual_camera::CameraConfig;
using virtual_camera::Capability;
using virtual_camera::ClassOverride;
using virtual_camera::Compressed;
using virtual_camera::FourCC;
using virtual_camera::Rgb32;
using virtual_camera::Yuy2;

bool OnWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

class CaptureStart : public CameraRecordTest {
 protected:
  void Open(std::vector<Capability> caps) {
    CameraConfig config;
    config.caps = std::move(caps);
    ListCamera(config);
    ASSERT_EQ(0, ds_open_device(&device_));
    log_.Clear();
  }
  // Closes, checks the record is clean, and that no frame follows the close.
  int Close(FrameSink* sink = nullptr) {
    const int result = ds_close_device(&device_);
    if (sink != nullptr) {
      sink->closed = true;
      sink->ExpectEveryFrameDelivered();
    }
    EXPECT_TRUE(AllPointersNull(device_));
    EXPECT_EQ(0, camera_->stats().filtersAlive);
    EXPECT_EQ(0, camera_->stats().streaming);
    return result;
  }
};

TEST_F(CaptureStart, DeliversTheCamerasFramesOnTheStreamingThread) {
  Open({Yuy2(160, 120), Rgb32(320, 240, 20000)});
  FrameSink& sink = Sink(0);
  sink.Reset(320, 240);
  sink.Follow(camera_->stats());
  ds_frame_callback callback = {SinkFunction(0)};
  const ds_format request = {320, 240, 0};
  ASSERT_EQ(0, ds_start_capture(&device_, &request, &callback));
  EXPECT_TRUE(log_.Contains(3, "Capturing using: (320x240 in format )"));
  ASSERT_TRUE(sink.WaitFor(20));
  EXPECT_EQ(0, sink.bad) << sink.first_problem;
  EXPECT_EQ(320 * 240 * 4, sink.last_size);
  EXPECT_NE(GetCurrentThreadId(), sink.last_thread);
  {
    std::lock_guard<std::mutex> lock(sink.mutex);
    ASSERT_GE(sink.counters.size(), 2u);
    for (size_t i = 1; i < sink.counters.size(); ++i) EXPECT_LT(sink.counters[i - 1], sink.counters[i]);
  }
  EXPECT_EQ(3, ds_start_capture(&device_, &request, &callback));  // changes nothing
  EXPECT_EQ(0, Close(&sink));
  Sleep(100);
  EXPECT_EQ(0, sink.after_close);
  EXPECT_EQ(0, ds_num_open_devices());
}

TEST_F(CaptureStart, ConnectsYuy2ThroughAConverterWhereThePlatformHasOne) {
  Open({Yuy2(320, 240)});
  FrameSink& sink = Sink(0);
  sink.Reset(320, 240);
  sink.check_pattern = false;  // a converter changes the bytes
  ds_frame_callback callback = {SinkFunction(0)};
  const ds_format request = {320, 240, FourCC('Y', 'U', 'Y', '2')};
  const int result = ds_start_capture(&device_, &request, &callback);
  if (OnWine()) {
    // Wine's graph inserts no colour converter in front of the RGB32 grabber.
    EXPECT_EQ(-8, result);
    EXPECT_TRUE(log_.Contains(5, "Failed to connect the capture stream (0x80040217)"));
  } else {
    ASSERT_EQ(0, result);
    ASSERT_TRUE(sink.WaitFor(5));
    EXPECT_EQ(320 * 240 * 4, sink.last_size);
  }
  EXPECT_EQ(0, Close(&sink));
}

TEST_F(CaptureStart, ReturnsTheStepThatFailed) {
  Open({Rgb32(320, 240)});
  const ds_format request = {320, 240, 0};
  ds_frame_callback callback = {SinkFunction(0)};
  EXPECT_EQ(1, ds_start_capture(nullptr, &request, &callback));
  ds_capture_device never_opened = {};
  EXPECT_EQ(2, ds_start_capture(&never_opened, &request, &callback));
  const ds_capture_device before = device_;
  EXPECT_EQ(4, ds_start_capture(&device_, nullptr, &callback));
  EXPECT_EQ(0, memcmp(&before, &device_, sizeof device_));
  EXPECT_TRUE(log_.entries().empty());
}

TEST_F(CaptureStart, ReturnsFiveWithoutASampleGrabber) {
  Open({Rgb32(320, 240)});
  ClassOverride grabber(kClsidSampleGrabber, ClassOverride::kFails);
  const ds_format request = {320, 240, 0};
  EXPECT_EQ(5, ds_start_capture(&device_, &request, nullptr));
  EXPECT_TRUE(log_.Contains(5, "Failed to create sample grabber"));
  EXPECT_EQ(3, ds_start_capture(&device_, &request, nullptr));
  EXPECT_EQ(0x30, Close());
}

TEST_F(CaptureStart, ReturnsSixWithoutANullRendererAndLogsItTwice) {
  Open({Rgb32(320, 240)});
  ClassOverride renderer(kClsidNullRenderer, ClassOverride::kFails);
  const ds_format request = {320, 240, 0};
  EXPECT_EQ(6, ds_start_capture(&device_, &request, nullptr));
  EXPECT_EQ(2, log_.Count("Failed to create null renderer"));
  EXPECT_NE(nullptr, device_.grabber_filter);
  EXPECT_EQ(3, ds_start_capture(&device_, &request, nullptr));
  EXPECT_EQ(0x10, Close());  // the grabber leaves the graph, the missing renderer cannot
}

TEST_F(CaptureStart, ReturnsSevenWithoutAnMjpegDecompressor) {
  const Capability mjpg = Compressed(FourCC('M', 'J', 'P', 'G'), 640, 480);
  const ds_format request = {640, 480, FourCC('M', 'J', 'P', 'G')};
  Open({mjpg});
  {
    ClassOverride missing(kClsidMjpegDecompressor, ClassOverride::kFails);
    EXPECT_EQ(7, ds_start_capture(&device_, &request, nullptr));
    EXPECT_TRUE(log_.Contains(5, "Failed to create MJPEG decompressor"));
    EXPECT_EQ(0, Close());
  }
  IBaseFilter* platform_decoder = nullptr;
  if (FAILED(CoCreateInstance(kClsidMjpegDecompressor, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              reinterpret_cast<void**>(&platform_decoder)))) {
    // This platform has none of its own (Wine): the same result without any override.
    ASSERT_EQ(0, ds_open_device(&device_));
    EXPECT_EQ(7, ds_start_capture(&device_, &request, nullptr));
  } else {
    platform_decoder->Release();
  }
}

TEST_F(CaptureStart, AddsOneMjpegDecompressorWhateverTheOpenAdded) {
  const Capability mjpg = Compressed(FourCC('M', 'J', 'P', 'G'), 640, 480);
  const ds_format request = {640, 480, FourCC('M', 'J', 'P', 'G')};
  ClassOverride decompressor(kClsidMjpegDecompressor, ClassOverride::kStubFilter);
  for (bool added_at_open : {false, true}) {
    SCOPED_TRACE(added_at_open);
    Open({mjpg});
    if (added_at_open) {
      ASSERT_EQ(0, ds_close_device(&device_) & ~0x30);
      ASSERT_EQ(0, ds_open_device(&device_));  // the last format was MJPG: added here
      ASSERT_NE(nullptr, device_.mjpeg_decompressor);
      log_.Clear();
    }
    // The stub has no pins, so nothing connects; the graph still holds exactly one decompressor.
    EXPECT_EQ(-8, ds_start_capture(&device_, &request, nullptr));
    EXPECT_EQ(added_at_open ? 0 : 1, log_.Count("Adding MJPEG decompressor filter"));
    const auto names = FilterNames(device_);
    EXPECT_EQ(1, std::count(names.begin(), names.end(), std::wstring(L"MJPEG Decompressor")));
    EXPECT_EQ(0, Close());
  }
  EXPECT_EQ(0, decompressor.alive());
}

TEST_F(CaptureStart, StartsWithoutAnMjpegDecompressorForOtherFormats) {
  ClassOverride decompressor(kClsidMjpegDecompressor, ClassOverride::kStubFilter);
  Open({Yuy2(320, 240)});
  const ds_format request = {320, 240, FourCC('Y', 'U', 'Y', '2')};
  ds_start_capture(&device_, &request, nullptr);
  EXPECT_EQ(0, decompressor.created());
  EXPECT_THAT(FilterNames(device_), Not(Contains(L"MJPEG Decompressor")));
}

TEST_F(CaptureStart, ReturnsMinusNineWhenTheGraphDoesNotRunAndDeliversNothingAfterwards) {
  const struct {
    const char* what;
    bool control;  // false: none, as an open whose query the graph refused leaves the record
    ControlScript script;
    const char* line;  // what the start logged at level 5
    bool waits;        // the whole wait for running, 3 seconds
    int close_result;  // a missing control cannot stop the graph either
  } cases[] = {
      {"Run refuses without running", true, {false, E_FAIL}, "Failed to run the graph (0x80004005)", false, 0},
      {"Run refuses after the graph started", true, {true, E_FAIL}, "Failed to run the graph (0x80004005)", false, 0},
      {"no control", false, {}, "Not running graph, control does not exist", false, 0x02},
      {"the graph refuses after Run succeeded",
       true,
       {true, S_OK, E_FAIL},
       "Graph refused to run (0x80004005)",
       false,
       0},
      {"the graph never settles",
       true,
       {true, S_FALSE, VFW_S_STATE_INTERMEDIATE, State_Paused},
       "Graph not running after 3000 ms (state 1, 0x00040237)",
       true,
       0},
      // On Windows a graph in transition reports the state it is heading for.
      {"the graph stays in transition to running",
       true,
       {true, S_FALSE, VFW_S_STATE_INTERMEDIATE, State_Running},
       "Graph not running after 3000 ms (state 2, 0x00040237)",
       true,
       0},
      {"the graph settles paused",
       true,
       {true, S_OK, S_OK, State_Paused},
       "Graph not running after 3000 ms (state 1, 0x00000000)",
       true,
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Open({Rgb32(320, 240, 20000)});
    ScriptedControl* control = nullptr;
    if (c.control) {
      control = ScriptControl(&device_, c.script);
    } else {
      device_.media_control->Release();
      device_.media_control = nullptr;
    }
    FrameSink& sink = Sink(0);
    sink.Reset(320, 240);
    ds_frame_callback callback = {SinkFunction(0)};
    const ds_format request = {320, 240, 0};
    const DWORD start = GetTickCount();
    EXPECT_EQ(-9, ds_start_capture(&device_, &request, &callback));
    const DWORD took = GetTickCount() - start;
    const int frames_at_return = sink.frames;
    EXPECT_TRUE(log_.Contains(5, c.line));
    if (c.waits) {
      // The bound the header promises, and no more than one step of the wait beyond it.
      EXPECT_GE(took + 20, 3000u);
      EXPECT_LT(took, 4200u);
    } else {
      EXPECT_LT(took, 2000u);
    }
    if (control != nullptr && !c.script.run_graph) {
      EXPECT_EQ(0, control->state_calls) << "a refusal from Run itself keeps its path";
    }
    Sleep(600);
    EXPECT_EQ(frames_at_return, sink.frames) << "frames after the start said it failed";
    EXPECT_NE(nullptr, device_.null_renderer);
    EXPECT_EQ(c.close_result, Close());
    if (!c.script.run_graph || !c.control) {
      EXPECT_EQ(0, camera_->stats().framesSent);
    }
  }
}

TEST_F(CaptureStart, WaitsWhileTheGraphIsStillChangingUntilItRuns) {
  const struct {
    const char* what;
    ControlScript script;
  } cases[] = {
      {"Run says the graph is still changing", {true, S_FALSE}},
      {"a second in transition", {true, S_FALSE, VFW_S_STATE_INTERMEDIATE, State_Running, 1000}},
      {"a second paused", {true, S_FALSE, S_OK, State_Paused, 1000}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Open({Rgb32(320, 240, 20000)});
    ScriptedControl* control = ScriptControl(&device_, c.script);
    FrameSink& sink = Sink(0);
    sink.Reset(320, 240);
    ds_frame_callback callback = {SinkFunction(0)};
    const ds_format request = {320, 240, 0};
    EXPECT_EQ(0, ds_start_capture(&device_, &request, &callback));
    EXPECT_LT(0, control->state_calls);
    EXPECT_TRUE(sink.WaitFor(5));
    EXPECT_EQ(0, Close(&sink));
  }
}

TEST_F(CaptureStart, DropsFramesWithoutACallbackFunction) {
  ds_frame_callback empty = {nullptr};
  for (ds_frame_callback* callback : {static_cast<ds_frame_callback*>(nullptr), &empty}) {
    Open({Rgb32(160, 120, 20000)});
    const ds_format request = {160, 120, 0};
    ASSERT_EQ(0, ds_start_capture(&device_, &request, callback));
    const DWORD start = GetTickCount();
    while (camera_->stats().framesSent < 10 && GetTickCount() - start < 10000) Sleep(5);
    EXPECT_GE(camera_->stats().framesSent, 10);
    EXPECT_EQ(0, Close());
  }
}

int calls = 0;
void QMR_CDECL CountCall(void*, long) { ++calls; }

TEST(FrameCallbackObject, AnswersForItsTwoInterfacesOnly) {
  ds_frame_callback record = {&CountCall};
  FrameCB frame_cb(&record);
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(S_OK, frame_cb.QueryInterface(IID_ISampleGrabberCB, &out));
  EXPECT_EQ(static_cast<ISampleGrabberCB*>(&frame_cb), out);
  EXPECT_EQ(S_OK, frame_cb.QueryInterface(IID_IUnknown, &out));
  EXPECT_EQ(static_cast<ISampleGrabberCB*>(&frame_cb), out);
  EXPECT_EQ(E_NOINTERFACE, frame_cb.QueryInterface(IID_IBaseFilter, &out));
  EXPECT_EQ(nullptr, out);
  EXPECT_EQ(E_POINTER, frame_cb.QueryInterface(IID_ISampleGrabberCB, nullptr));
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(1u, frame_cb.AddRef());
    EXPECT_EQ(1u, frame_cb.Release());
    EXPECT_EQ(1u, frame_cb.Release());  // never destroys the object
  }
}

int other_calls = 0;
void QMR_CDECL CountOtherCall(void*, long) { ++other_calls; }

TEST(FrameCallbackObject, TakesTheRecordsFunctionAnewForEveryFrame) {
  BYTE frame[8] = {};
  ds_frame_callback record = {&CountCall};
  FrameCB frame_cb(&record);
  calls = other_calls = 0;
  EXPECT_EQ(S_OK, frame_cb.BufferCB(0.0, frame, 8));
  record.callback = &CountOtherCall;
  EXPECT_EQ(S_OK, frame_cb.BufferCB(0.1, frame, 8));
  record.callback = nullptr;
  EXPECT_EQ(S_FALSE, frame_cb.BufferCB(0.2, frame, 8));
  record.callback = &CountCall;
  EXPECT_EQ(S_OK, frame_cb.BufferCB(0.3, frame, 8));
  EXPECT_EQ(2, calls);
  EXPECT_EQ(1, other_calls);
}

TEST(FrameCallbackObject, CallsTheFunctionOnlyWhenThereIsOne) {
  BYTE frame[8] = {};
  ds_frame_callback record = {&CountCall};
  ds_frame_callback empty = {nullptr};
  calls = 0;
  EXPECT_EQ(S_OK, FrameCB(&record).HandleFrame(frame, 8));
  EXPECT_EQ(S_OK, FrameCB(&record).BufferCB(0.5, frame, 8));
  EXPECT_EQ(S_FALSE, FrameCB(nullptr).HandleFrame(frame, 8));
  EXPECT_EQ(S_FALSE, FrameCB(&empty).BufferCB(0.5, frame, 8));
  EXPECT_EQ(S_FALSE, FrameCB(&record).SampleCB(0.5, nullptr));
  EXPECT_EQ(2, calls);
}

// What the frame function saw of the object that called it.
struct DeliveryProbe {
  const FrameCB* object = nullptr;
  bool own = false;
  bool any = false;
};
DeliveryProbe probe;
void QMR_CDECL ProbeDelivery(void*, long) {
  probe.own = probe.object->DeliveringOnThisThread();
  probe.any = FrameCB::InsideAFrameFunction();
}

TEST(FrameCallbackObject, KnowsItsDeliveringThreadOnlyWhileTheFunctionRuns) {
  BYTE frame[8] = {};
  ds_frame_callback record = {&ProbeDelivery};
  FrameCB frame_cb(&record);
  FrameCB other(&record);
  const struct {
    FrameCB* delivering;
    bool own;
  } cases[] = {{&frame_cb, true}, {&other, false}};
  for (const auto& c : cases) {
    probe = {&frame_cb, !c.own, false};
    EXPECT_EQ(S_OK, c.delivering->BufferCB(0.0, frame, 8));
    EXPECT_EQ(c.own, probe.own);
    EXPECT_TRUE(probe.any);
    // Thread ids are reused: a thread that once delivered must not look like it still does.
    EXPECT_FALSE(frame_cb.DeliveringOnThisThread());
    EXPECT_FALSE(FrameCB::InsideAFrameFunction());
  }
}

TEST(FrameCallbackObject, DeliversNothingOnceStopped) {
  BYTE frame[8] = {};
  ds_frame_callback record = {&CountCall};
  FrameCB frame_cb(&record);
  calls = 0;
  EXPECT_EQ(S_OK, frame_cb.BufferCB(0.0, frame, 8));
  frame_cb.StopDelivering();
  EXPECT_EQ(S_FALSE, frame_cb.BufferCB(0.1, frame, 8));
  EXPECT_EQ(S_FALSE, frame_cb.HandleFrame(frame, 8));
  EXPECT_EQ(1, calls);
}

TEST_F(CaptureStart, AThreadThatOnceDeliveredClosesTheDevice) {
  Open({Rgb32(160, 120, 20000)});
  FrameSink& sink = Sink(0);
  sink.Reset(160, 120);
  sink.check_pattern = false;
  ds_frame_callback callback = {SinkFunction(0)};
  const ds_format request = {160, 120, 0};
  ASSERT_EQ(0, ds_start_capture(&device_, &request, &callback));
  // As a streaming thread that has finished would, whose id the caller's thread then got.
  std::vector<BYTE> frame(160 * 120 * 4);
  EXPECT_EQ(S_OK, device_.frame_cb->BufferCB(0.0, frame.data(), static_cast<long>(frame.size())));
  EXPECT_EQ(0, Close());
}

}  // namespace
}  // namespace capture_tests
