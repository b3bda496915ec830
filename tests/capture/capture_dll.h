// qmr_dshow.dll loaded from the build's bin directory, its exports looked up by their plain names the
// way a foreign-function caller does. Used from the test's main thread.
#pragma once

#include <windows.h>

#include <string>

namespace capture_tests {

class CaptureDll {
 public:
  CaptureDll();
  ~CaptureDll();
  CaptureDll(const CaptureDll&) = delete;
  CaptureDll& operator=(const CaptureDll&) = delete;

  bool loaded() const { return module_ != nullptr; }
  FARPROC Find(const char* name) const;

  // Calls an export with three pointer-sized arguments pushed as cdecl would; *popped receives the
  // bytes the export removed from the stack itself (0 for cdecl).
  int CallCdecl(const char* name, uintptr_t a, uintptr_t b, uintptr_t c, int* popped) const;

  template <typename Fn>
  Fn Get(const char* name) const {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(Find(name)));
  }

 private:
  HMODULE module_ = nullptr;
};

}  // namespace capture_tests
