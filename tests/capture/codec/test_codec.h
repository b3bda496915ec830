// A video codec of the tests' own, installed in this process through the Video for Windows codec
// interface while a TestCodec lives: YUY2 and MJPG in, RGB32 or RGB24 out and nothing else. It is
// what lets the platform's AVI decompressor convert camera formats here, as a real machine's codecs
// would. Process-wide: while installed, every graph in the process can use it. Install and remove on
// one thread; the codec itself is called from any thread.
#pragma once

#include <windows.h>

namespace test_codec {

constexpr DWORD kFourccYuy2 = 0x32595559;
constexpr DWORD kFourccMjpg = 0x47504A4D;

class TestCodec {
 public:
  TestCodec();
  ~TestCodec();
  TestCodec(const TestCodec&) = delete;
  TestCodec& operator=(const TestCodec&) = delete;

  bool installed() const { return installed_; }

  // Instances of the codec open now, process-wide: one that nobody closed stays counted.
  static int OpenInstances();
  // Frames the codec refused to convert since the process started.
  static int FailedFrames();

 private:
  bool installed_ = false;
};

}  // namespace test_codec
