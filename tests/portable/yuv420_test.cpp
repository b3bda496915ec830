// yuv420_to_rgb32: every Y, U, V within two levels of BT.601 for every kernel this CPU has, rows bottom-up
// as B, G, R, 255, NV12 and I420 alike, every row tail of every kernel inside exactly sized buffers, and
// refused sizes left alone.
#include "yuv420.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "guarded_buffer.h"

namespace {

using testing_support::GuardedBuffer;

constexpr int kBound = 2;  // levels
// No kernel has this number, and C++ may still hold it in the enum: the enum's range goes up to 7.
constexpr yuv420_kernel kNoKernel = static_cast<yuv420_kernel>(7);

struct Kernel {
  yuv420_kernel id;
  const char* name;
};
const Kernel kKernels[] = {
    {YUV420_KERNEL_AUTO, "auto"}, {YUV420_KERNEL_SCALAR, "scalar"},     {YUV420_KERNEL_SSE2, "sse2"},
    {YUV420_KERNEL_AVX2, "avx2"}, {YUV420_KERNEL_AVX512BW, "avx512bw"},
};

std::vector<Kernel> AvailableKernels() {
  std::vector<Kernel> kernels;
  for (const Kernel& k : kKernels) {
    if (yuv420_kernel_available(k.id)) kernels.push_back(k);
  }
  return kernels;
}

// B, G, R, 255 straight from the formula.
struct Rgb {
  uint8_t b, g, r;
};
// Rounds half up; the whole-range check calls this 50 million times, unoptimised under the sanitizers.
int Level(double value) {
  const int level = static_cast<int>(value + 512.5) - 512;
  return level < 0 ? 0 : level > 255 ? 255 : level;
}
Rgb Formula(int y, int u, int v) {
  const double c = y - 16, d = u - 128, e = v - 128;
  return {static_cast<uint8_t>(Level(1.164 * c + 2.018 * d)),
          static_cast<uint8_t>(Level(1.164 * c - 0.391 * d - 0.813 * e)),
          static_cast<uint8_t>(Level(1.164 * c + 1.596 * e))};
}

// A picture as three planes; chroma is one sample per 2x2 block.
struct Picture {
  int width, height;
  std::vector<uint8_t> y, u, v;
  Picture(int w, int h)
      : width(w), height(h), y(static_cast<size_t>(w) * h), u(static_cast<size_t>(w / 2) * (h / 2)), v(u.size()) {}
  int Y(int x, int row) const { return y[static_cast<size_t>(row) * width + x]; }
  int U(int x, int row) const { return u[static_cast<size_t>(row / 2) * (width / 2) + x / 2]; }
  int V(int x, int row) const { return v[static_cast<size_t>(row / 2) * (width / 2) + x / 2]; }

  std::vector<uint8_t> Sample(yuv420_layout layout) const {
    std::vector<uint8_t> sample(y.size() + 2 * u.size());
    std::memcpy(sample.data(), y.data(), y.size());
    uint8_t* chroma = sample.data() + y.size();
    if (layout == YUV420_I420) {
      std::memcpy(chroma, u.data(), u.size());
      std::memcpy(chroma + u.size(), v.data(), v.size());
    } else {
      for (size_t i = 0; i < u.size(); ++i) {
        chroma[2 * i] = u[i];
        chroma[2 * i + 1] = v[i];
      }
    }
    return sample;
  }
};

Picture RandomPicture(int width, int height, uint32_t seed) {
  Picture picture(width, height);
  uint32_t state = seed * 2654435761u + 1;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return static_cast<uint8_t>(state >> 24);
  };
  for (auto* plane : {&picture.y, &picture.u, &picture.v}) std::generate(plane->begin(), plane->end(), next);
  return picture;
}

struct Error {
  int largest = 0;    // levels, any channel
  std::string first;  // where a pixel broke the bound or the layout
};

// Compares a bottom-up RGB32 frame with the formula applied to the picture.
Error CompareWithFormula(const Picture& picture, const uint8_t* rgb32) {
  Error error;
  for (int row = 0; row < picture.height; ++row) {
    const uint8_t* out = rgb32 + static_cast<size_t>(picture.height - 1 - row) * picture.width * 4;
    const uint8_t* y = &picture.y[static_cast<size_t>(row) * picture.width];
    const uint8_t* u = &picture.u[static_cast<size_t>(row / 2) * (picture.width / 2)];
    const uint8_t* v = &picture.v[static_cast<size_t>(row / 2) * (picture.width / 2)];
    for (int x = 0; x < picture.width; ++x, out += 4) {
      const Rgb want = Formula(y[x], u[x / 2], v[x / 2]);
      int worst = std::abs(out[0] - want.b);
      if (std::abs(out[1] - want.g) > worst) worst = std::abs(out[1] - want.g);
      if (std::abs(out[2] - want.r) > worst) worst = std::abs(out[2] - want.r);
      if (worst > error.largest) error.largest = worst;
      if ((worst > kBound || out[3] != 255) && error.first.empty()) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "pixel %d of picture row %d (Y %d U %d V %d): got %d,%d,%d,%d want %d,%d,%d,255", x, row,
                      picture.Y(x, row), picture.U(x, row), picture.V(x, row), out[0], out[1], out[2], out[3], want.b,
                      want.g, want.r);
        error.first = text;
      }
    }
  }
  return error;
}

// 64 frames of 512x512: chroma sample (i, j) of every frame is U = i, V = j, and the four pixels of a
// block in frame f have Y = 4f to 4f + 3, so the frames hold every Y, U, V once.
TEST(Yuv420Colour, EveryYuvWithinTwoLevelsOfTheFormula) {
  const int size = 512;
  Picture picture(size, size);
  for (int j = 0; j < size / 2; ++j) {
    for (int i = 0; i < size / 2; ++i) {
      picture.u[j * (size / 2) + i] = static_cast<uint8_t>(i);
      picture.v[j * (size / 2) + i] = static_cast<uint8_t>(j);
    }
  }
  std::vector<Kernel> kernels = AvailableKernels();
  // AUTO is one of the others.
  kernels.erase(
      std::remove_if(kernels.begin(), kernels.end(), [](const Kernel& k) { return k.id == YUV420_KERNEL_AUTO; }),
      kernels.end());
  std::vector<int> largest(kernels.size(), 0);
  std::vector<uint8_t> reference(static_cast<size_t>(size) * size * 4), out(reference.size());
  for (int frame = 0; frame < 64; ++frame) {
    for (int row = 0; row < size; ++row) {
      for (int x = 0; x < size; ++x)
        picture.y[row * size + x] = static_cast<uint8_t>(4 * frame + 2 * (row % 2) + x % 2);
    }
    const std::vector<uint8_t> nv12 = picture.Sample(YUV420_NV12), i420 = picture.Sample(YUV420_I420);
    ASSERT_EQ(1, yuv420_to_rgb32_with(YUV420_KERNEL_SCALAR, YUV420_NV12, nv12.data(), size, size, reference.data()));
    const Error error = CompareWithFormula(picture, reference.data());
    ASSERT_EQ("", error.first) << "scalar, frame " << frame;
    for (size_t k = 0; k < kernels.size(); ++k) {
      largest[k] = std::max(largest[k], error.largest);
      // The kernels share the scalar one's arithmetic; a byte that differs is a fault even within the bound.
      for (const auto* sample : {&nv12, &i420}) {
        if (kernels[k].id == YUV420_KERNEL_SCALAR && sample == &nv12) continue;  // the reference itself
        SCOPED_TRACE(std::string(kernels[k].name) + (sample == &nv12 ? " NV12" : " I420"));
        ASSERT_EQ(1, yuv420_to_rgb32_with(kernels[k].id, sample == &nv12 ? YUV420_NV12 : YUV420_I420, sample->data(),
                                          size, size, out.data()));
        if (out != reference) {
          const Error own = CompareWithFormula(picture, out.data());
          largest[k] = std::max(largest[k], own.largest);
          ADD_FAILURE() << "differs from the scalar kernel in frame " << frame << "; " << own.first;
        }
      }
    }
  }
  for (size_t k = 0; k < kernels.size(); ++k) {
    std::printf("%-9s largest difference from the formula: %d level(s)\n", kernels[k].name, largest[k]);
  }
}

// Top to bottom: black, white, and two rows of one saturated colour whose B, G and R all differ; each row
// the same all along, wide enough for every kernel's blocks.
TEST(Yuv420Layout, WritesRowsBottomUpAsBlueGreenRedOpaque) {
  const int width = 130, height = 4;
  const uint8_t luma[height] = {16, 235, 126, 60};
  const uint8_t u[height / 2] = {128, 200}, v[height / 2] = {128, 60};
  Picture picture(width, height);
  for (int row = 0; row < height; ++row) {
    std::fill_n(&picture.y[static_cast<size_t>(row) * width], width, luma[row]);
    std::fill_n(&picture.u[static_cast<size_t>(row / 2) * (width / 2)], width / 2, u[row / 2]);
    std::fill_n(&picture.v[static_cast<size_t>(row / 2) * (width / 2)], width / 2, v[row / 2]);
  }
  const uint8_t want[height][4] = {{197, 78, 0, 255}, {255, 155, 20, 255}, {255, 255, 255, 255}, {0, 0, 0, 255}};
  for (const Kernel& kernel : AvailableKernels()) {
    for (yuv420_layout layout : {YUV420_NV12, YUV420_I420}) {
      SCOPED_TRACE(std::string(kernel.name) + (layout == YUV420_NV12 ? " NV12" : " I420"));
      const std::vector<uint8_t> sample = picture.Sample(layout);
      std::vector<uint8_t> out(static_cast<size_t>(width) * height * 4);
      ASSERT_EQ(1, yuv420_to_rgb32_with(kernel.id, layout, sample.data(), width, height, out.data()));
      for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x) {
          const uint8_t* pixel = &out[(static_cast<size_t>(row) * width + x) * 4];
          for (int byte = 0; byte < 4; ++byte) {
            ASSERT_NEAR(want[row][byte], pixel[byte], kBound)
                << "output row " << row << " pixel " << x << " byte " << byte;
          }
        }
      }
    }
  }
}

// Widths around every kernel's block (16, 32 and 64 pixels) and its overlapping last block, with input and
// output ending where inaccessible memory begins. The sizes that are whole pages also leave nothing
// accessible before the buffers.
TEST(Yuv420Bounds, EveryRowTailStaysInsideExactlySizedBuffers) {
  const int widths[] = {2, 4, 6, 14, 16, 18, 30, 32, 34, 46, 62, 64, 66, 94, 126, 128, 130, 194, 642};
  const int heights[] = {2, 6, 18};
  struct Size {
    int width, height;
  };
  // Whole pages in and out; 14, 30 and 62 are just short of a block.
  std::vector<Size> sizes = {{128, 64}, {4096, 2}, {14, 4096}, {30, 4096}, {62, 4096}};
  for (int w : widths) {
    for (int h : heights) sizes.push_back({w, h});
  }
  uint32_t seed = 0;
  for (const Size& size : sizes) {
    SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
    const Picture picture = RandomPicture(size.width, size.height, ++seed);
    const size_t out_bytes = static_cast<size_t>(size.width) * size.height * 4;
    std::vector<uint8_t> reference(out_bytes);
    {
      const std::vector<uint8_t> nv12 = picture.Sample(YUV420_NV12);
      ASSERT_EQ(1, yuv420_to_rgb32_with(YUV420_KERNEL_SCALAR, YUV420_NV12, nv12.data(), size.width, size.height,
                                        reference.data()));
      const Error error = CompareWithFormula(picture, reference.data());
      ASSERT_EQ("", error.first);
    }
    for (const Kernel& kernel : AvailableKernels()) {
      for (yuv420_layout layout : {YUV420_NV12, YUV420_I420}) {
        SCOPED_TRACE(std::string(kernel.name) + (layout == YUV420_NV12 ? " NV12" : " I420"));
        const std::vector<uint8_t> sample = picture.Sample(layout);
        ASSERT_EQ(sample.size(), yuv420_sample_size(size.width, size.height));
        GuardedBuffer in(sample.size()), out(out_bytes);
        ASSERT_NE(nullptr, in.data());
        ASSERT_NE(nullptr, out.data());
        std::memcpy(in.data(), sample.data(), sample.size());
        ASSERT_EQ(1, yuv420_to_rgb32_with(kernel.id, layout, in.data(), size.width, size.height, out.data()));
        EXPECT_EQ(0, std::memcmp(reference.data(), out.data(), out_bytes))
            << "differs from the scalar kernel's NV12 frame; " << CompareWithFormula(picture, out.data()).first;
      }
    }
  }
}

TEST(Yuv420Bounds, SampleSizeRefusesOddEmptyAndUnaddressableFrames) {
  const struct {
    int32_t width, height;
    uint64_t bytes;
  } cases[] = {
      {2, 2, 6},
      {640, 480, 460800},
      {3840, 2160, 12441600},
      {1, 2, 0},
      {2, 1, 0},
      {641, 480, 0},
      {0, 2, 0},
      {2, 0, 0},
      {-2, 2, 0},
      {2, -2, 0},
      {INT32_MIN, 2, 0},
      // The RGB32 frame of these is 16 GiB and 16 EiB.
      {65536, 65536, sizeof(size_t) == 4 ? 0 : 6442450944u},
      {INT32_MAX - 1, INT32_MAX - 1, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.bytes, yuv420_sample_size(c.width, c.height)) << c.width << "x" << c.height;
  }
}

// A refused call must leave the output as it was: the caller may deliver the buffer anyway.
TEST(Yuv420Bounds, RefusedCallsTouchNothing) {
  std::vector<uint8_t> sample(6 * 6 * 3 / 2, 128);
  std::vector<uint8_t> out(6 * 6 * 4, 0xAA);
  const std::vector<uint8_t> before = out;
  const struct {
    const char* what;
    yuv420_kernel kernel;
    yuv420_layout layout;
    const uint8_t* sample;
    int32_t width, height;
    uint8_t* out;
  } cases[] = {
      {"odd width", YUV420_KERNEL_AUTO, YUV420_NV12, sample.data(), 5, 6, out.data()},
      {"odd height", YUV420_KERNEL_AUTO, YUV420_I420, sample.data(), 6, 5, out.data()},
      {"negative height", YUV420_KERNEL_AUTO, YUV420_NV12, sample.data(), 6, -6, out.data()},
      {"zero width", YUV420_KERNEL_AUTO, YUV420_NV12, sample.data(), 0, 6, out.data()},
      {"no sample", YUV420_KERNEL_AUTO, YUV420_NV12, nullptr, 6, 6, out.data()},
      {"no output", YUV420_KERNEL_AUTO, YUV420_NV12, sample.data(), 6, 6, nullptr},
      {"unknown kernel", kNoKernel, YUV420_NV12, sample.data(), 6, 6, out.data()},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(0, yuv420_to_rgb32_with(c.kernel, c.layout, c.sample, c.width, c.height, c.out)) << c.what;
    EXPECT_EQ(before, out) << c.what;
  }
  EXPECT_EQ(0, yuv420_to_rgb32(YUV420_NV12, sample.data(), 7, 6, out.data()));
  for (const Kernel& kernel : kKernels) {
    if (yuv420_kernel_available(kernel.id)) continue;
    EXPECT_EQ(0, yuv420_to_rgb32_with(kernel.id, YUV420_NV12, sample.data(), 6, 6, out.data())) << kernel.name;
  }
  EXPECT_EQ(before, out);
}

TEST(Yuv420Kernels, AutoChoosesAKernelThisCpuHas) {
  EXPECT_EQ(1, yuv420_kernel_available(YUV420_KERNEL_SCALAR));
  EXPECT_EQ(1, yuv420_kernel_available(YUV420_KERNEL_AUTO));
  EXPECT_EQ(0, yuv420_kernel_available(kNoKernel));
  const yuv420_kernel chosen = yuv420_kernel_chosen();
  EXPECT_NE(YUV420_KERNEL_AUTO, chosen);
  EXPECT_EQ(1, yuv420_kernel_available(chosen));
  // The fastest kernel present, as listed fastest last.
  for (const Kernel& kernel : kKernels) {
    if (kernel.id > chosen) {
      EXPECT_EQ(0, yuv420_kernel_available(kernel.id)) << kernel.name;
    }
  }
}

}  // namespace
