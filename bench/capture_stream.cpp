// Capture through the library against the same graph built by hand without it, in the same run, with
// the virtual camera at its fastest rate, for the formats cameras deliver: RGB32 straight to the
// grabber, YUY2 through the converter that RenderStream inserts, and MJPG through the MJPEG
// decompressor (the platform's AVI decompressor with the test codec behind both). Measures the time
// from the start call to the first frame (its own rounds, as it is noisy) and the frames per second
// delivered. Prints the medians and the ratios (hand-built over library for the time, library over
// hand-built for the rate: above 1 means the library is faster).
//   capture_stream [rate rounds] [first-frame rounds]
#include <dshow.h>
#include <qedit.h>
#include <windows.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "camera_converters.h"
#include "capture_timing.h"
#include "dshow_ids.h"
#include "qmr_dshow.h"
#include "virtual_camera.h"

using Microsoft::WRL::ComPtr;

namespace {

std::atomic<int> frames{0};
std::atomic<double> first_frame_at{0};
std::atomic<bool> first_seen{false};  // first_frame_at holds this start's first frame

void Count() {
  if (frames++ == 0) {
    first_frame_at = Seconds();
    first_seen = true;
  }
}

void ResetCount() {
  first_seen = false;
  frames = 0;
}

void QMR_CDECL LibraryFrame(void*, long) { Count(); }

class HandCallback : public ISampleGrabberCB {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_ISampleGrabberCB) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 1; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP SampleCB(double, IMediaSample*) override { return S_OK; }
  STDMETHODIMP BufferCB(double, BYTE*, long) override {
    Count();
    return S_OK;
  }
};

struct Result {
  double first;  // seconds from the start call to the first frame
  double fps;
};

// Waits for the first frame, then (when asked) counts the frames of one second.
Result Observe(double started, bool count_rate) {
  while (!first_seen && Seconds() - started < 10) Sleep(0);
  if (!first_seen) return {0, 0};
  if (!count_rate) return {first_frame_at - started, 0};
  const int before = frames;
  const double t0 = Seconds();
  Sleep(1000);
  const double t1 = Seconds();
  return {first_frame_at - started, (frames - before) / (t1 - t0)};
}

Result ThroughLibrary(const ds_format& format, bool count_rate) {
  ds_capture_device device = {};
  uint32_t count = 1;
  ds_list_devices(&device, &count);
  if (count != 1 || ds_open_device(&device) != 0) return {0, 0};
  ds_frame_callback callback = {&LibraryFrame};
  ResetCount();
  const double started = Seconds();
  Result result = {0, 0};
  if (ds_start_capture(&device, &format, &callback) == 0) result = Observe(started, count_rate);
  ds_close_device(&device);
  return result;
}

// The graph that the library builds for this format, built by hand.
Result ByHand(const ds_format& format, bool count_rate) {
  ComPtr<IGraphBuilder> graph;
  ComPtr<ICaptureGraphBuilder2> builder;
  CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph));
  CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&builder));
  builder->SetFiltergraph(graph.Get());
  ComPtr<ICreateDevEnum> devices;
  CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&devices));
  ComPtr<IEnumMoniker> monikers;
  if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0) != S_OK) return {0, 0};
  ComPtr<IMoniker> moniker;
  if (monikers->Next(1, &moniker, nullptr) != S_OK) return {0, 0};
  ComPtr<IBaseFilter> camera, grabber_filter, renderer, decompressor;
  moniker->BindToObject(nullptr, nullptr, IID_PPV_ARGS(&camera));
  graph->AddFilter(camera.Get(), L"Camera");
  ComPtr<IAMStreamConfig> config;
  builder->FindInterface(&PIN_CATEGORY_CAPTURE, nullptr, camera.Get(), IID_PPV_ARGS(&config));
  HandCallback callback;
  ResetCount();
  const double started = Seconds();
  AM_MEDIA_TYPE* type = nullptr;
  BYTE caps[128];
  if (config && SUCCEEDED(config->GetStreamCaps(0, &type, caps))) {
    config->SetFormat(type);
    CoTaskMemFree(type->pbFormat);
    CoTaskMemFree(type);
  }
  CoCreateInstance(kClsidSampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&grabber_filter));
  ComPtr<ISampleGrabber> grabber;
  grabber_filter.As(&grabber);
  AM_MEDIA_TYPE rgb = {};
  rgb.majortype = MEDIATYPE_Video;
  rgb.subtype = MEDIASUBTYPE_RGB32;
  grabber->SetMediaType(&rgb);
  grabber->SetCallback(&callback, 1);
  graph->AddFilter(grabber_filter.Get(), L"Grabber");
  CoCreateInstance(kClsidNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&renderer));
  graph->AddFilter(renderer.Get(), L"Renderer");
  if (format.fourcc == virtual_camera::FourCC('M', 'J', 'P', 'G')) {
    CoCreateInstance(kClsidMjpegDecompressor, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                     IID_PPV_ARGS(&decompressor));
    graph->AddFilter(decompressor.Get(), L"Decompressor");
  }
  builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera.Get(), grabber_filter.Get(), renderer.Get());
  ComPtr<IMediaControl> control;
  graph.As(&control);
  Result result = {0, 0};
  if (SUCCEEDED(control->Run())) result = Observe(started, count_rate);
  control->Stop();
  grabber->SetCallback(nullptr, 1);
  return result;
}

struct Scenario {
  const char* label;
  virtual_camera::Capability capability;
  ds_format format;
};

// One library capture and one hand-built, the library first in even rounds: whichever goes second
// finds the platform warm from the first.
void Pair(const ds_format& format, int round, bool count_rate, Result* lib, Result* hand) {
  if (round % 2 == 0) {
    *lib = ThroughLibrary(format, count_rate);
    *hand = ByHand(format, count_rate);
  } else {
    *hand = ByHand(format, count_rate);
    *lib = ThroughLibrary(format, count_rate);
  }
}

// Both in each round, so that drift of the machine hits both alike.
bool Measure(const Scenario& scenario, int rate_rounds, int first_rounds) {
  virtual_camera::CameraConfig config;
  config.friendlyName = L"Bench Camera";
  config.caps = {scenario.capability};
  virtual_camera::VirtualCamera camera(config);
  std::vector<double> lib_first, hand_first, first_ratio, lib_fps, hand_fps, fps_ratio;
  for (int round = 0; round < first_rounds; ++round) {
    Result lib, hand;
    Pair(scenario.format, round, false, &lib, &hand);
    if (lib.first <= 0 || hand.first <= 0) return false;
    lib_first.push_back(lib.first * 1000);
    hand_first.push_back(hand.first * 1000);
    first_ratio.push_back(hand.first / lib.first);
  }
  for (int round = 0; round < rate_rounds; ++round) {
    Result lib, hand;
    Pair(scenario.format, round, true, &lib, &hand);
    if (lib.fps <= 0 || hand.fps <= 0) return false;
    lib_fps.push_back(lib.fps);
    hand_fps.push_back(hand.fps);
    fps_ratio.push_back(lib.fps / hand.fps);
  }
  std::printf("%-30s %10s %10s %8s\n", scenario.label, "library", "by hand", "ratio");
  std::printf("%-30s %10.2f %10.2f %8.3f   (%d rounds)\n", "  start to first frame (ms)", Median(lib_first),
              Median(hand_first), Median(first_ratio), first_rounds);
  std::printf("%-30s %10.1f %10.1f %8.3f   (%d rounds)\n", "  frames per second", Median(lib_fps), Median(hand_fps),
              Median(fps_ratio), rate_rounds);
  std::fflush(stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int rate_rounds = argc > 1 ? std::atoi(argv[1]) : 7;
  const int first_rounds = argc > 2 ? std::atoi(argv[2]) : 51;
  if (rate_rounds < 1 || first_rounds < 1) {
    std::fprintf(stderr, "usage: capture_stream [rate rounds] [first-frame rounds]\n");
    return 2;
  }
  CoInitialize(nullptr);
  int exit_code = 0;
  {
    test_codec::CameraConverters converters;
    ds_log_callback quiet = {[](int, const char*) {}};
    ds_set_logger(&quiet);
    using virtual_camera::FourCC;
    // No pause between frames: the camera runs at its fastest rate.
    const Scenario scenarios[] = {
        {"640x480 RGB32, fastest rate", virtual_camera::Rgb32(640, 480, 0), {640, 480, 0}},
        // Converted on the streaming thread, which under emulation makes few large frames a second.
        {"320x240 YUY2, fastest rate", virtual_camera::Yuy2(320, 240, 0), {320, 240, FourCC('Y', 'U', 'Y', '2')}},
        {"320x240 MJPG, fastest rate", virtual_camera::Mjpg(320, 240, 0), {320, 240, FourCC('M', 'J', 'P', 'G')}},
    };
    for (const Scenario& scenario : scenarios) {
      if (!converters.ready() || !Measure(scenario, rate_rounds, first_rounds)) {
        std::printf("%s: no frames\n", scenario.label);
        exit_code = 1;
      }
    }
    ds_set_logger(nullptr);
  }
  CoUninitialize();
  return exit_code;
}
