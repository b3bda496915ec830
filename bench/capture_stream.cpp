// Capture through the library against the same graph built by hand without it, in the same run, with
// the virtual camera at its fastest rate: time from the start call to the first frame, and frames per
// second delivered. Prints the medians and the ratios (hand-built over library for the time, library
// over hand-built for the rate: above 1 means the library is faster).
//   capture_stream [rounds]
#include <dshow.h>
#include <qedit.h>
#include <windows.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "capture_timing.h"
#include "dshow_ids.h"
#include "qmr_dshow.h"
#include "virtual_camera.h"

using Microsoft::WRL::ComPtr;

namespace {

std::atomic<int> frames{0};
std::atomic<double> first_frame_at{0};

void Count() {
  if (frames++ == 0) first_frame_at = Seconds();
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

// Waits for the first frame, then counts the frames of one second.
Result Observe(double started) {
  while (frames == 0 && Seconds() - started < 10) Sleep(0);
  const int before = frames;
  const double t0 = Seconds();
  Sleep(1000);
  const double t1 = Seconds();
  return {first_frame_at - started, (frames - before) / (t1 - t0)};
}

Result ThroughLibrary() {
  ds_capture_device device = {};
  uint32_t count = 1;
  ds_list_devices(&device, &count);
  if (count != 1 || ds_open_device(&device) != 0) return {0, 0};
  ds_frame_callback callback = {&LibraryFrame};
  const ds_format format = {640, 480, 0};
  frames = 0;
  const double started = Seconds();
  if (ds_start_capture(&device, &format, &callback) != 0) return {0, 0};
  const Result result = Observe(started);
  ds_close_device(&device);
  return result;
}

Result ByHand() {
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
  ComPtr<IBaseFilter> camera, grabber_filter, renderer;
  moniker->BindToObject(nullptr, nullptr, IID_PPV_ARGS(&camera));
  graph->AddFilter(camera.Get(), L"Camera");
  ComPtr<IAMStreamConfig> config;
  builder->FindInterface(&PIN_CATEGORY_CAPTURE, nullptr, camera.Get(), IID_PPV_ARGS(&config));
  HandCallback callback;
  frames = 0;
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
  builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera.Get(), grabber_filter.Get(), renderer.Get());
  ComPtr<IMediaControl> control;
  graph.As(&control);
  control->Run();
  const Result result = Observe(started);
  control->Stop();
  grabber->SetCallback(nullptr, 1);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 7;
  CoInitialize(nullptr);
  {
    virtual_camera::CameraConfig config;
    config.friendlyName = L"Bench Camera";
    config.caps = {virtual_camera::Rgb32(640, 480, 0)};  // no pause between frames
    virtual_camera::VirtualCamera camera(config);
    ds_log_callback quiet = {[](int, const char*) {}};
    ds_set_logger(&quiet);
    std::vector<double> lib_first, hand_first, lib_fps, hand_fps, first_ratio, fps_ratio;
    for (int round = 0; round < rounds; ++round) {
      // Alternating, so that drift of the machine hits both alike.
      const Result lib = ThroughLibrary();
      const Result hand = ByHand();
      lib_first.push_back(lib.first * 1000);
      hand_first.push_back(hand.first * 1000);
      lib_fps.push_back(lib.fps);
      hand_fps.push_back(hand.fps);
      first_ratio.push_back(hand.first / lib.first);
      fps_ratio.push_back(lib.fps / hand.fps);
    }
    std::printf("%-28s %10s %10s %8s\n", "640x480 RGB32, fastest rate", "library", "by hand", "ratio");
    std::printf("%-28s %10.2f %10.2f %8.3f\n", "start to first frame (ms)", Median(lib_first), Median(hand_first),
                Median(first_ratio));
    std::printf("%-28s %10.1f %10.1f %8.3f\n", "frames per second", Median(lib_fps), Median(hand_fps),
                Median(fps_ratio));
    ds_set_logger(nullptr);
  }
  CoUninitialize();
  return 0;
}
