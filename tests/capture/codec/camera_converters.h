// What a real machine's DirectShow finds for the formats that cameras deliver, set up in this process
// while the object lives: the test codec behind the platform's AVI decompressor (which RenderStream
// inserts for YUY2 and MJPG), and that decompressor serving the MJPEG decompressor's class, which the
// platform here lacks. Test thread, COM initialised.
#pragma once

#include "class_override.h"
#include "test_codec.h"

namespace test_codec {

class CameraConverters {
 public:
  CameraConverters();

  bool ready() const { return codec_.installed(); }
  // MJPEG decompressors created through the class so far.
  int decompressorsCreated() const { return mjpeg_.created(); }
  int decompressorsAlive() const { return mjpeg_.alive(); }

 private:
  TestCodec codec_;
  virtual_camera::ClassOverride mjpeg_;
};

}  // namespace test_codec
