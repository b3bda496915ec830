// ds_vflip_32: rows swapped in place for every height, refused input left alone, very wide frames, and
// no access outside the frame whatever the height.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "guarded_buffer.h"
#include "qmr_dshow.h"

namespace {

// Each pixel names its row and column.
std::vector<uint32_t> Frame(int width, unsigned height) {
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
  for (unsigned y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) pixels[y * width + x] = y << 16 | static_cast<uint32_t>(x);
  }
  return pixels;
}

std::vector<unsigned> RowOrder(const std::vector<uint32_t>& pixels, int width, unsigned height) {
  std::vector<unsigned> rows;
  for (unsigned y = 0; y < height; ++y) {
    const unsigned row = pixels[y * width] >> 16;
    for (int x = 0; x < width; ++x) {
      if (pixels[y * width + x] != (row << 16 | static_cast<uint32_t>(x))) return {};  // a row was torn
    }
    rows.push_back(row);
  }
  return rows;
}

TEST(VerticalFlip, ReversesTheRowsForEveryHeight) {
  const struct {
    int width;
    unsigned height;
    std::vector<unsigned> rows;
  } cases[] = {
      {2, 0, {}},
      {2, 1, {0}},
      {2, 2, {1, 0}},
      {2, 3, {2, 1, 0}},
      {2, 4, {3, 2, 1, 0}},
      {7, 5, {4, 3, 2, 1, 0}},
      {13, 6, {5, 4, 3, 2, 1, 0}},
      {1, 3, {2, 1, 0}},
  };
  for (const auto& c : cases) {
    std::vector<uint32_t> pixels = Frame(c.width, c.height);
    EXPECT_EQ(0, ds_vflip_32(pixels.data(), c.width, c.height)) << c.width << "x" << c.height;
    EXPECT_EQ(c.rows, RowOrder(pixels, c.width, c.height)) << c.width << "x" << c.height;
  }
}

TEST(VerticalFlip, FlipsAFrame16384PixelsWideInPlace) {
  const int width = 16384;
  const unsigned height = 5;
  std::vector<uint32_t> pixels = Frame(width, height);
  EXPECT_EQ(0, ds_vflip_32(pixels.data(), width, height));
  EXPECT_EQ((std::vector<unsigned>{4, 3, 2, 1, 0}), RowOrder(pixels, width, height));
}

TEST(VerticalFlip, LeavesRefusedInputAlone) {
  std::vector<uint32_t> pixels = Frame(2, 2);
  const std::vector<uint32_t> before = pixels;
  EXPECT_EQ(0, ds_vflip_32(nullptr, 2, 2));
  EXPECT_EQ(0, ds_vflip_32(pixels.data(), 0, 2));
  EXPECT_EQ(0, ds_vflip_32(pixels.data(), -2, 2));
  EXPECT_EQ(before, pixels);
}

TEST(VerticalFlip, TwiceRestoresTheFrame) {
  std::vector<uint32_t> pixels = Frame(640, 481);
  const std::vector<uint32_t> before = pixels;
  ds_vflip_32(pixels.data(), 640, 481);
  ds_vflip_32(pixels.data(), 640, 481);
  EXPECT_EQ(before, pixels);
}

// A top-down format's negative height arrives as an unsigned height above INT32_MAX; taken as a row
// count it would walk rows far outside the frame. The buffer here has no accessible byte on either
// side, so any such access ends the process.
TEST(VerticalFlipBounds, StaysInsideTheFrameAndLeavesTopDownFramesAsTheyAre) {
  const struct {
    const char* what;
    int width;
    unsigned rows;  // in the buffer
    uint32_t height;
    std::vector<unsigned> order;
  } cases[] = {
      {"one top-down row", 1024, 1, static_cast<uint32_t>(-1), {0}},
      {"four top-down rows", 256, 4, static_cast<uint32_t>(-4), {0, 1, 2, 3}},
      {"the most negative height", 1024, 4, 0x80000000u, {0, 1, 2, 3}},
      {"four bottom-up rows", 1024, 4, 4, {3, 2, 1, 0}},
      {"three bottom-up rows", 1024, 3, 3, {2, 1, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<uint32_t> frame = Frame(c.width, c.rows);
    const size_t bytes = frame.size() * sizeof(uint32_t);
    ASSERT_EQ(0u, bytes % testing_support::GuardedBuffer::PageSize()) << "the frame would not touch both guards";
    testing_support::GuardedBuffer buffer(bytes);
    ASSERT_NE(nullptr, buffer.data());
    std::memcpy(buffer.data(), frame.data(), bytes);
    EXPECT_EQ(0, ds_vflip_32(buffer.data(), c.width, c.height));
    std::vector<uint32_t> after(frame.size());
    std::memcpy(after.data(), buffer.data(), bytes);
    EXPECT_EQ(c.order, RowOrder(after, c.width, c.rows));
  }
}

}  // namespace
