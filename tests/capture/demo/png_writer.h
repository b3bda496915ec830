// Writes 32-bit BGRA pixel rows (top row first) as an 8-bit RGB PNG file, with stored (uncompressed)
// deflate blocks. Any thread.
#pragma once

#include <stdint.h>

#include <string>

bool WritePng(const std::string& path, const uint8_t* bgra, int width, int height);
