// The capture library at work: registers two virtual cameras in this Wine prefix for the program's
// lifetime, a webcam offering MJPG first as many do and a laptop camera that offers NV12 only, lists the
// devices through qmr_dshow.dll, and from each camera captures one frame as RGB32, flips it with
// ds_vflip_32 and writes it as a PNG. The MJPG frame is decoded through the graph: this Wine has no MJPEG
// decompressor and no codec for MJPG, so the program serves the platform's AVI decompressor with the
// test codec behind it, as a real machine's would be. The NV12 frame the library converts itself. The
// library's own log lines appear on standard output.
//   capture_demo OUTPUT.png      writes OUTPUT.png (MJPG) and OUTPUT-nv12.png (NV12)
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "camera_converters.h"
#include "png_writer.h"
#include "qmr_dshow.h"
#include "virtual_camera.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
const wchar_t kWebcamPath[] = L"\\\\?\\virtual#demo-camera#0";
const wchar_t kLaptopCameraPath[] = L"\\\\?\\virtual#demo-laptop-camera#0";

std::vector<uint8_t> frame(kWidth* kHeight * 4);
std::atomic<bool> wanted{false};
HANDLE frame_ready;

void QMR_CDECL KeepFirstFrame(void* bytes, long size) {
  if (!wanted || size != static_cast<long>(frame.size())) return;
  std::memcpy(frame.data(), bytes, frame.size());
  wanted = false;
  SetEvent(frame_ready);
}

struct Library {
  int(QMR_CDECL* init)();
  int(QMR_CDECL* deinit)();
  int(QMR_CDECL* list)(ds_capture_device*, uint32_t*);
  int(QMR_CDECL* open)(ds_capture_device*);
  int(QMR_CDECL* close)(ds_capture_device*);
  int(QMR_CDECL* start)(ds_capture_device*, const ds_format*, ds_frame_callback*);
  int(QMR_CDECL* flip)(void*, int32_t, uint32_t);
};

template <typename Fn>
bool Find(HMODULE dll, const char* name, Fn* fn) {
  *fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
  return *fn != nullptr;
}

// Opens the device, captures one frame of the format, closes it and writes the frame top row first.
bool CaptureOne(const Library& ds, ds_capture_device* device, DWORD fourcc, const std::string& png) {
  if (ds.open(device) != 0) return false;
  std::printf("-- opened '%.128ls'\n", device->name);
  for (uint32_t i = 0; i < device->format_count; ++i) {
    char text[5] = {};
    std::memcpy(text, &device->formats[i].fourcc, 4);
    std::printf("-- format %u: %dx%d '%s'\n", i, device->formats[i].width, device->formats[i].height, text);
  }
  fflush(stdout);
  ResetEvent(frame_ready);
  wanted = true;
  ds_frame_callback callback = {&KeepFirstFrame};
  const ds_format request = {kWidth, kHeight, fourcc};
  const int started = ds.start(device, &request, &callback);
  const bool got = started == 0 && WaitForSingleObject(frame_ready, 10000) == WAIT_OBJECT_0;
  const int closed = ds.close(device);
  std::printf("-- start %d, frame %s, close %d\n", started, got ? "captured" : "missing", closed);
  if (!got) return false;
  // Every format's frame comes bottom-up, as in a bitmap; a PNG starts with the top row.
  ds.flip(frame.data(), kWidth, kHeight);
  if (!WritePng(png.c_str(), frame.data(), kWidth, kHeight)) return false;
  std::printf("-- wrote %s (%dx%d)\n", png.c_str(), kWidth, kHeight);
  fflush(stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string png = argc == 2 ? argv[1] : "";
  if (png.size() < 5 || png.compare(png.size() - 4, 4, ".png") != 0) {
    std::fprintf(stderr, "usage: capture_demo OUTPUT.png\n");
    return 2;
  }
  HMODULE dll = LoadLibraryA("qmr_dshow.dll");
  Library ds = {};
  if (dll == nullptr || !Find(dll, "ds_init", &ds.init) || !Find(dll, "ds_deinit", &ds.deinit) ||
      !Find(dll, "ds_list_devices", &ds.list) || !Find(dll, "ds_open_device", &ds.open) ||
      !Find(dll, "ds_close_device", &ds.close) || !Find(dll, "ds_start_capture", &ds.start) ||
      !Find(dll, "ds_vflip_32", &ds.flip)) {
    std::fprintf(stderr, "cannot load qmr_dshow.dll\n");
    return 3;
  }
  frame_ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ds.init();
  int exit_code = 1;
  {
    virtual_camera::CameraConfig webcam;
    webcam.friendlyName = L"Demo Virtual Camera";
    webcam.description = L"Virtual camera (test pattern)";
    webcam.devicePath = kWebcamPath;
    webcam.caps = {virtual_camera::Mjpg(kWidth, kHeight, 333333), virtual_camera::Yuy2(640, 480),
                   virtual_camera::Rgb32(kWidth, kHeight, 333333)};
    virtual_camera::CameraConfig laptop;
    laptop.friendlyName = L"Demo Laptop Camera";
    laptop.devicePath = kLaptopCameraPath;
    laptop.caps = {virtual_camera::Yuv420(virtual_camera::FourCC('N', 'V', '1', '2'), kWidth, kHeight, 333333)};
    test_codec::CameraConverters converters;
    virtual_camera::VirtualCamera webcam_camera(webcam);
    virtual_camera::VirtualCamera laptop_camera(laptop);

    std::vector<ds_capture_device> devices(4);
    uint32_t count = static_cast<uint32_t>(devices.size());
    const int passed_over = ds.list(devices.data(), &count);
    std::printf("-- %u device(s) listed, %d passed over\n", count, passed_over);
    ds_capture_device* webcam_device = nullptr;
    ds_capture_device* laptop_device = nullptr;
    for (uint32_t i = 0; i < count; ++i) {
      std::printf("-- device %u: '%.128ls' at '%.512ls'\n", i, devices[i].name, devices[i].path);
      if (std::wcsncmp(devices[i].path, kWebcamPath, 512) == 0) webcam_device = &devices[i];
      if (std::wcsncmp(devices[i].path, kLaptopCameraPath, 512) == 0) laptop_device = &devices[i];
    }
    fflush(stdout);
    const std::string nv12_png = png.substr(0, png.size() - 4) + "-nv12.png";
    if (webcam_device != nullptr && laptop_device != nullptr &&
        CaptureOne(ds, webcam_device, virtual_camera::FourCC('M', 'J', 'P', 'G'), png) &&
        CaptureOne(ds, laptop_device, virtual_camera::FourCC('N', 'V', '1', '2'), nv12_png)) {
      exit_code = 0;
    }
  }
  ds.deinit();
  CloseHandle(frame_ready);
  return exit_code;
}
