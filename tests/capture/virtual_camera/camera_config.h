// What a test configures for one virtual capture device: its registry entries, its capture pin's
// capabilities, the answers it gives, and the counters it keeps while the library drives it.
// Configs are fixed once a device is registered; stats are updated from any thread.
#pragma once

#include <dshow.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace virtual_camera {

constexpr DWORD FourCC(char a, char b, char c, char d) {
  return static_cast<DWORD>(static_cast<unsigned char>(a)) | static_cast<DWORD>(static_cast<unsigned char>(b)) << 8 |
         static_cast<DWORD>(static_cast<unsigned char>(c)) << 16 |
         static_cast<DWORD>(static_cast<unsigned char>(d)) << 24;
}

// One entry of the capture pin's capability list.
struct Capability {
  GUID formatType = FORMAT_VideoInfo;
  LONG width = 320;
  LONG height = 240;
  DWORD compression = 0;  // biCompression: a FourCC, or 0 for uncompressed RGB
  WORD bitCount = 32;
  REFERENCE_TIME frameInterval = 50000;  // 100 ns units: the camera's frame rate in this format
  int blockSize = -1;                    // cbFormat; -1: the format type's own header size
  bool nullBlock = false;                // pbFormat null while cbFormat still states blockSize
  bool readFails = false;                // GetStreamCaps fails for this index
  bool readLeavesType = false;           // and still stores a media type, as careless drivers do
  int shortSampleEvery = 0;              // every Nth sample one byte short of a frame (0: none)
  DWORD extraSampleBytes = 0;            // every sample this much longer than a frame
};

Capability Rgb32(LONG width, LONG height, REFERENCE_TIME interval = 50000);
Capability Yuy2(LONG width, LONG height, REFERENCE_TIME interval = 50000);
Capability Mjpg(LONG width, LONG height, REFERENCE_TIME interval = 50000);
Capability Compressed(DWORD fourcc, LONG width, LONG height);
// NV12 or I420: 12 bits a pixel, a frame of width * height * 3 / 2 bytes.
Capability Yuv420(DWORD fourcc, LONG width, LONG height, REFERENCE_TIME interval = 50000);

struct CameraConfig {
  std::optional<std::wstring> friendlyName = std::wstring(L"Virtual Camera");
  std::optional<std::wstring> description;
  std::optional<std::wstring> devicePath;
  bool friendlyNameAsNumber = false;  // FriendlyName stored as a REG_DWORD instead of text
  bool bindStorageFails = false;      // the device's property bag cannot be bound
  bool createFails = false;           // the device's filter cannot be created
  std::vector<Capability> caps = {Rgb32(320, 240)};
  int capsSize = sizeof(VIDEO_STREAM_CONFIG_CAPS);
  HRESULT setFormatResult = S_OK;
};

struct AppliedFormat {
  LONG width;
  LONG height;
  DWORD compression;
};

struct CameraStats {
  std::atomic<int> filtersCreated{0};
  std::atomic<int> filtersAlive{0};
  std::atomic<int> framesSent{0};
  std::atomic<int> shortSamplesSent{0};  // of framesSent, those one byte short
  std::atomic<int> streaming{0};         // streaming threads running
  // Media types that a failed GetStreamCaps left behind, and how many of them someone freed.
  std::atomic<int> strayTypesLeft{0};
  std::atomic<int> strayTypesFreed{0};

  void RecordSetFormat(const AppliedFormat& format);
  std::vector<AppliedFormat> setFormatCalls() const;
  // The format of each stream the pin started, in order.
  void RecordStream(const AppliedFormat& format);
  std::vector<AppliedFormat> streams() const;

 private:
  mutable std::mutex mutex_;
  std::vector<AppliedFormat> set_format_calls_;
  std::vector<AppliedFormat> streams_;
};

}  // namespace virtual_camera
