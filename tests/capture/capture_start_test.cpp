// ds_start_capture against virtual cameras streaming into the platform's own graph: frames in the
// caller's callback, every result of the start, and the record that close leaves afterwards.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>

#include "capture_fixture.h"
#include "class_override.h"
#include "dshow_ids.h"
#include "frame_callback.h"
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

// Wine's graph reports no filter's failure from Run, and its state changes end at once, so the graph's
// control answers as a script says instead: Run refuses (without running), or runs the graph and
// answers as given, and GetState answers as given or as the graph does (S_OK). Everything else passes
// through to the graph's own.
class ScriptedControl : public IMediaControl {
 public:
  ScriptedControl(IMediaControl* real, HRESULT run, HRESULT state) : real_(real), run_(run), state_(state) {}
  virtual ~ScriptedControl() = default;
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override { return real_->QueryInterface(riid, out); }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --refs_;
    if (left == 0) {
      real_->Release();
      delete this;
    }
    return left;
  }
  STDMETHODIMP GetTypeInfoCount(UINT* count) override { return real_->GetTypeInfoCount(count); }
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
    return real_->GetTypeInfo(index, lcid, info);
  }
  STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
    return real_->GetIDsOfNames(riid, names, count, lcid, ids);
  }
  STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* info, UINT* arg) override {
    return real_->Invoke(id, riid, lcid, flags, params, result, info, arg);
  }
  STDMETHODIMP Run() override {
    if (FAILED(run_)) return run_;
    const HRESULT hr = real_->Run();
    return FAILED(hr) ? hr : run_;
  }
  STDMETHODIMP Pause() override { return real_->Pause(); }
  STDMETHODIMP Stop() override { return real_->Stop(); }
  STDMETHODIMP GetState(LONG timeout, OAFilterState* state) override {
    ++state_calls;
    if (state_ == S_OK) return real_->GetState(timeout, state);
    if (state != nullptr) *state = State_Paused;
    if (state_ == VFW_S_STATE_INTERMEDIATE) Sleep(timeout > 0 ? static_cast<DWORD>(timeout) : 0);
    return state_;
  }
  STDMETHODIMP RenderFile(BSTR name) override { return real_->RenderFile(name); }
  STDMETHODIMP AddSourceFilter(BSTR name, IDispatch** filter) override { return real_->AddSourceFilter(name, filter); }
  STDMETHODIMP get_FilterCollection(IDispatch** out) override { return real_->get_FilterCollection(out); }
  STDMETHODIMP get_RegFilterCollection(IDispatch** out) override { return real_->get_RegFilterCollection(out); }
  STDMETHODIMP StopWhenReady() override { return real_->StopWhenReady(); }

  std::atomic<int> state_calls{0};

 private:
  ULONG refs_ = 1;
  IMediaControl* real_;
  HRESULT run_;
  HRESULT state_;
};

TEST_F(CaptureStart, ReturnsMinusNineWhenTheGraphCannotRun) {
  const std::string no_control = "Not running graph, control does not exist";
  const struct {
    const char* what;
    bool control;  // false: none, as an open whose query the graph refused leaves the record
    HRESULT run;
    HRESULT state;
    bool ran;          // whether the graph itself was run, so the camera streamed
    const char* line;  // what the start logged at level 5, if anything
    int close_result;  // a missing control cannot stop the graph either
  } cases[] = {
      {"control refuses to run", true, E_FAIL, S_OK, false, nullptr, 0},
      {"no control", false, S_OK, S_OK, false, "Not running graph, control does not exist", 0x02},
      {"the graph refuses after Run succeeded", true, S_OK, E_FAIL, true, "Graph refused to run (0x80004005)", 0},
      {"the graph never reaches running", true, S_FALSE, VFW_S_STATE_INTERMEDIATE, true,
       "Graph not running after 3000 ms", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Open({Rgb32(320, 240, 20000)});
    ScriptedControl* control = nullptr;
    if (c.control) {
      control = new ScriptedControl(device_.media_control, c.run, c.state);  // takes over the record's reference
      device_.media_control = control;
    } else {
      device_.media_control->Release();
      device_.media_control = nullptr;
    }
    const ds_format request = {320, 240, 0};
    const DWORD start = GetTickCount();
    EXPECT_EQ(-9, ds_start_capture(&device_, &request, nullptr));
    EXPECT_LT(GetTickCount() - start, 6000u) << "the wait for running is bounded";
    EXPECT_EQ(c.control ? 0 : 1, log_.Count(no_control));
    if (c.line != nullptr) {
      EXPECT_TRUE(log_.Contains(5, c.line));
    }
    if (control != nullptr && FAILED(c.run)) {
      EXPECT_EQ(0, control->state_calls) << "a refusal from Run itself keeps its path";
    }
    EXPECT_NE(nullptr, device_.null_renderer);
    EXPECT_EQ(c.close_result, Close());
    if (!c.ran) {
      EXPECT_EQ(0, camera_->stats().framesSent);
    }
  }
}

TEST_F(CaptureStart, WaitsWhileRunSaysTheGraphIsStillChanging) {
  Open({Rgb32(320, 240, 20000)});
  auto* control = new ScriptedControl(device_.media_control, S_FALSE, S_OK);
  device_.media_control = control;
  FrameSink& sink = Sink(0);
  sink.Reset(320, 240);
  ds_frame_callback callback = {SinkFunction(0)};
  const ds_format request = {320, 240, 0};
  EXPECT_EQ(0, ds_start_capture(&device_, &request, &callback));
  EXPECT_LT(0, control->state_calls);
  EXPECT_TRUE(sink.WaitFor(5));
  EXPECT_EQ(0, Close(&sink));
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

}  // namespace
}  // namespace capture_tests
