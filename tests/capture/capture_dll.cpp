#include "capture_dll.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace capture_tests {

CaptureDll::CaptureDll() {
  const std::string path = testing_support::ProgramDir() + "qmr_dshow.dll";
  module_ = LoadLibraryA(path.c_str());
  if (module_ == nullptr) ADD_FAILURE() << "cannot load " << path << " error " << GetLastError();
}

CaptureDll::~CaptureDll() {
  if (module_ != nullptr) FreeLibrary(module_);
}

FARPROC CaptureDll::Find(const char* name) const {
  return module_ != nullptr ? GetProcAddress(module_, name) : nullptr;
}

int CaptureDll::CallCdecl(const char* name, uintptr_t a, uintptr_t b, uintptr_t c, int* popped) const {
  FARPROC fn = Find(name);
  if (fn == nullptr) {
    ADD_FAILURE() << name << " is not exported";
    return -1000;
  }
#if defined(__i386__)
  uintptr_t before = 0, after = 0;
  uintptr_t args[3] = {a, b, c};
  uintptr_t* arg = args;
  int result = 0;
  // esi and edi survive the call; the stack pointer is put back whatever the callee removed.
  asm volatile(
      "movl %%esp, %%esi\n\t"
      "pushl 8(%%ecx)\n\t"
      "pushl 4(%%ecx)\n\t"
      "pushl (%%ecx)\n\t"
      "call *%%ebx\n\t"
      "movl %%esp, %%edi\n\t"
      "movl %%esi, %%esp\n\t"
      : "=a"(result), "=&S"(before), "=&D"(after), "+c"(arg)
      : "b"(fn)
      : "edx", "memory", "cc");
  *popped = static_cast<int>(after - (before - 12));
#else
  // x64 has one calling convention, in which the caller always removes what it passed.
  const int result = reinterpret_cast<int (*)(uintptr_t, uintptr_t, uintptr_t)>(reinterpret_cast<void*>(fn))(a, b, c);
  *popped = 0;
#endif
  return result;
}

}  // namespace capture_tests
