#include "png_writer.h"

#include <cstdio>
#include <vector>

namespace {

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
  static uint32_t table[256];
  static bool ready = false;
  if (!ready) {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
    ready = true;
  }
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void PutBig32(std::vector<uint8_t>* out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(value >> shift));
}

void Chunk(std::vector<uint8_t>* file, const char* type, const std::vector<uint8_t>& data) {
  PutBig32(file, static_cast<uint32_t>(data.size()));
  std::vector<uint8_t> typed(type, type + 4);
  typed.insert(typed.end(), data.begin(), data.end());
  file->insert(file->end(), typed.begin(), typed.end());
  PutBig32(file, Crc32(typed.data(), typed.size()));
}

// A zlib stream of stored blocks: no compression, so no library is needed.
std::vector<uint8_t> ZlibStored(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> out = {0x78, 0x01};
  size_t pos = 0;
  do {
    const size_t length = std::min<size_t>(65535, raw.size() - pos);
    const bool last = pos + length == raw.size();
    out.push_back(last ? 1 : 0);
    out.push_back(static_cast<uint8_t>(length));
    out.push_back(static_cast<uint8_t>(length >> 8));
    out.push_back(static_cast<uint8_t>(~length));
    out.push_back(static_cast<uint8_t>(~length >> 8));
    out.insert(out.end(), raw.begin() + pos, raw.begin() + pos + length);
    pos += length;
  } while (pos < raw.size());
  uint32_t a = 1, b = 0;
  for (uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  PutBig32(&out, b << 16 | a);
  return out;
}

}  // namespace

bool WritePng(const std::string& path, const uint8_t* bgra, int width, int height) {
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>(height) * (1 + width * 3));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // filter: none
    const uint8_t* row = bgra + static_cast<size_t>(y) * width * 4;
    for (int x = 0; x < width; ++x) {
      raw.push_back(row[x * 4 + 2]);
      raw.push_back(row[x * 4 + 1]);
      raw.push_back(row[x * 4 + 0]);
    }
  }
  std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutBig32(&header, static_cast<uint32_t>(width));
  PutBig32(&header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter choice, no interlace
  Chunk(&file, "IHDR", header);
  Chunk(&file, "IDAT", ZlibStored(raw));
  Chunk(&file, "IEND", {});
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  return std::fclose(out) == 0 && written;
}
