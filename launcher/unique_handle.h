// Owning wrappers for the kernel objects and modules the launcher opens.
#pragma once

#include <windows.h>

#include <memory>

namespace launcher {

// Empty at null, as process, thread and module handles are.
struct HandleCloser {
  using pointer = HANDLE;
  void operator()(HANDLE handle) const {
    if (handle != nullptr) CloseHandle(handle);
  }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// A file handle is empty at INVALID_HANDLE_VALUE, not at null.
class UniqueFile {
 public:
  explicit UniqueFile(HANDLE handle) : handle_(handle) {}
  UniqueFile(const UniqueFile&) = delete;
  UniqueFile& operator=(const UniqueFile&) = delete;
  ~UniqueFile() {
    if (valid()) CloseHandle(handle_);
  }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

struct RegKeyCloser {
  using pointer = HKEY;
  void operator()(HKEY key) const {
    if (key != nullptr) RegCloseKey(key);
  }
};
using UniqueRegKey = std::unique_ptr<void, RegKeyCloser>;

}  // namespace launcher
