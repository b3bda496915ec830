// Points the test program's own import of one platform function at a replacement for as long as the
// object lives, so that a test can make the platform refuse a call (as an older Windows would) for
// the launcher code linked into this program. Used from the test's main thread.
#pragma once

#include <windows.h>

namespace launcher_tests {

class ImportOverride {
 public:
  ImportOverride(const char* dll, const char* function, void* replacement);
  ~ImportOverride();
  ImportOverride(const ImportOverride&) = delete;
  ImportOverride& operator=(const ImportOverride&) = delete;

  // The platform's own function, for the replacement to pass calls on to.
  void* original() const { return original_; }

 private:
  void** slot_ = nullptr;
  void* original_ = nullptr;
};

}  // namespace launcher_tests
