// The capture library at work: registers a virtual camera in this Wine prefix for the program's
// lifetime, offering MJPG first as many webcams do, lists the devices through qmr_dshow.dll, opens the
// camera, captures one MJPG frame decoded to RGB32 through the graph, flips it with ds_vflip_32 and
// writes it as a PNG. This Wine has no MJPEG decompressor and no codec for MJPG, so the program serves
// the platform's AVI decompressor with the test codec behind it, as a real machine's would be. The
// library's own log lines appear on standard output.
//   capture_demo OUTPUT.png
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <vector>

#include "camera_converters.h"
#include "png_writer.h"
#include "qmr_dshow.h"
#include "virtual_camera.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

std::vector<uint8_t> frame(kWidth* kHeight * 4);
std::atomic<bool> captured{false};
HANDLE frame_ready;

void QMR_CDECL KeepFirstFrame(void* bytes, long size) {
  if (captured || size != static_cast<long>(frame.size())) return;
  std::memcpy(frame.data(), bytes, frame.size());
  captured = true;
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
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
    virtual_camera::CameraConfig config;
    config.friendlyName = L"Demo Virtual Camera";
    config.description = L"Virtual camera (test pattern)";
    config.devicePath = L"\\\\?\\virtual#demo-camera#0";
    config.caps = {virtual_camera::Mjpg(kWidth, kHeight, 333333), virtual_camera::Yuy2(640, 480),
                   virtual_camera::Rgb32(kWidth, kHeight, 333333)};
    test_codec::CameraConverters converters;
    virtual_camera::VirtualCamera camera(config);

    std::vector<ds_capture_device> devices(4);
    uint32_t count = static_cast<uint32_t>(devices.size());
    const int passed_over = ds.list(devices.data(), &count);
    std::printf("-- %u device(s) listed, %d passed over\n", count, passed_over);
    for (uint32_t i = 0; i < count; ++i) {
      std::printf("-- device %u: '%.128ls' at '%.512ls'\n", i, devices[i].name, devices[i].path);
    }
    fflush(stdout);
    if (count > 0 && ds.open(&devices[0]) == 0) {
      ds_capture_device& device = devices[0];
      for (uint32_t i = 0; i < device.format_count; ++i) {
        char fourcc[5] = {};
        std::memcpy(fourcc, &device.formats[i].fourcc, 4);
        std::printf("-- format %u: %dx%d '%s'\n", i, device.formats[i].width, device.formats[i].height, fourcc);
      }
      fflush(stdout);
      ds_frame_callback callback = {&KeepFirstFrame};
      const ds_format request = {kWidth, kHeight, virtual_camera::FourCC('M', 'J', 'P', 'G')};
      const int started = ds.start(&device, &request, &callback);
      const bool got = started == 0 && WaitForSingleObject(frame_ready, 10000) == WAIT_OBJECT_0;
      const int closed = ds.close(&device);
      std::printf("-- start %d, frame %s, close %d\n", started, got ? "captured" : "missing", closed);
      if (got) {
        // The decoded rows come bottom-up, as in a bitmap; a PNG starts with the top row.
        ds.flip(frame.data(), kWidth, kHeight);
        if (WritePng(argv[1], frame.data(), kWidth, kHeight)) {
          std::printf("-- wrote %s (%dx%d)\n", argv[1], kWidth, kHeight);
          exit_code = 0;
        }
      }
    }
  }
  ds.deinit();
  CloseHandle(frame_ready);
  return exit_code;
}
