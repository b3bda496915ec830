#include "pe_machine.h"

#include "bounded_text.h"

namespace launcher {

namespace {

uint16_t Read16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Read32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

constexpr size_t kNtHeaderOffsetField = 0x3c;
constexpr size_t kFileHeaderSize = 20;
constexpr uint16_t kImageFileDll = 0x2000;

}  // namespace

PeImageInfo ParsePeHeader(const unsigned char* bytes, size_t size) {
  PeImageInfo info;
  if (size < kNtHeaderOffsetField + 4 || bytes[0] != 'M' || bytes[1] != 'Z') return info;
  const uint32_t ntOffset = Read32(bytes + kNtHeaderOffsetField);
  if (ntOffset > size || size - ntOffset < 4 + kFileHeaderSize) return info;
  const unsigned char* nt = bytes + ntOffset;
  if (nt[0] != 'P' || nt[1] != 'E' || nt[2] != 0 || nt[3] != 0) return info;
  info.isPe = true;
  info.machine = Read16(nt + 4);
  info.isDll = (Read16(nt + 4 + 18) & kImageFileDll) != 0;
  return info;
}

void DescribeMachine(uint16_t machine, char* buffer, size_t capacity) {
  switch (machine) {
    case kMachineX86:
      FormatBounded(buffer, capacity, "x86 (32-bit)");
      break;
    case kMachineX64:
      FormatBounded(buffer, capacity, "x64 (64-bit)");
      break;
    case 0xaa64:
      FormatBounded(buffer, capacity, "ARM64 (64-bit)");
      break;
    case 0x01c4:
      FormatBounded(buffer, capacity, "ARM (32-bit)");
      break;
    case 0x0200:
      FormatBounded(buffer, capacity, "Itanium (64-bit)");
      break;
    default:
      FormatBounded(buffer, capacity, "unknown machine 0x%04x", static_cast<unsigned>(machine));
      break;
  }
}

}  // namespace launcher
