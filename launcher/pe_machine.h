// Reads the machine type of a PE image, so that a Java runtime built for another architecture can be
// named in the log. Pure functions; build on Windows and natively alike.
#pragma once

#include <cstddef>
#include <cstdint>

namespace launcher {

constexpr uint16_t kMachineX86 = 0x014c;
constexpr uint16_t kMachineX64 = 0x8664;
// The machine this launcher was built for: it can load Java runtimes for this machine only.
constexpr uint16_t kOwnMachine = sizeof(void*) == 8 ? kMachineX64 : kMachineX86;

struct PeImageInfo {
  bool isPe = false;
  bool isDll = false;
  uint16_t machine = 0;
};

PeImageInfo ParsePeHeader(const unsigned char* bytes, size_t size);

// "x86 (32-bit)", "x64 (64-bit)", ...; "unknown machine 0x...." for other values.
void DescribeMachine(uint16_t machine, char* buffer, size_t capacity);

}  // namespace launcher
