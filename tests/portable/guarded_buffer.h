// Memory for tests that must see a stray access fault at once: the buffer ends exactly where an
// inaccessible region begins, and another inaccessible region lies before it. With a size that is a
// multiple of the page size nothing accessible lies on either side. Any thread.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace testing_support {

class GuardedBuffer {
 public:
  // Guards wide enough that a row index gone negative lands in them, not in someone else's memory.
  static constexpr size_t kGuardBytes = 1 << 20;

  explicit GuardedBuffer(size_t bytes) : bytes_(bytes) {
    const size_t page = PageSize();
    const size_t inner = (bytes + page - 1) / page * page;
    total_ = kGuardBytes + inner + kGuardBytes;
#ifdef _WIN32
    base_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, total_, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS));
    DWORD old = 0;
    if (base_ != nullptr && !VirtualProtect(base_ + kGuardBytes, inner, PAGE_READWRITE, &old)) Free();
#else
    void* mapped = mmap(nullptr, total_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    base_ = mapped == MAP_FAILED ? nullptr : static_cast<uint8_t*>(mapped);
    if (base_ != nullptr && mprotect(base_ + kGuardBytes, inner, PROT_READ | PROT_WRITE) != 0) Free();
#endif
    if (base_ != nullptr) data_ = base_ + kGuardBytes + inner - bytes;
  }
  ~GuardedBuffer() { Free(); }
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;

  // Null when the memory could not be laid out.
  uint8_t* data() const { return data_; }
  size_t size() const { return bytes_; }

  static size_t PageSize() {
#ifdef _WIN32
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
#else
    return static_cast<size_t>(sysconf(_SC_PAGESIZE));
#endif
  }

 private:
  void Free() {
    if (base_ == nullptr) return;
#ifdef _WIN32
    VirtualFree(base_, 0, MEM_RELEASE);
#else
    munmap(base_, total_);
#endif
    base_ = data_ = nullptr;
  }

  size_t bytes_;
  size_t total_ = 0;
  uint8_t* base_ = nullptr;
  uint8_t* data_ = nullptr;
};

}  // namespace testing_support
