// Every device suite starts from a category without the cameras of test processes that crashed, so
// that a suite expecting no device, or the first device, is not misled by someone else's.
#include <gtest/gtest.h>

#include <cstdio>

#include "virtual_camera.h"

namespace capture_tests {
namespace {

class LeftoverCameras : public ::testing::Environment {
 public:
  void SetUp() override {
    const int removed = virtual_camera::RemoveLeftoverCameras();
    if (removed > 0) printf("removed %d virtual cameras left by ended processes\n", removed);
  }
};

[[maybe_unused]] const ::testing::Environment* const kLeftoverCameras =
    ::testing::AddGlobalTestEnvironment(new LeftoverCameras);

}  // namespace
}  // namespace capture_tests
