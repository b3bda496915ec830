// yuv420_to_rgb32's kernels against libyuv's NV12ToARGB and I420ToARGB (host builds, QMR_WITH_LIBYUV) and
// against memcpy of one RGB32 frame, timed in turn within each round so that all share the machine's
// state: median milliseconds per frame and median per-round ratios (goal: the chosen kernel at most 1.0
// of libyuv at 1920x1080 and 3840x2160). Also the largest byte difference from libyuv's frame.
//   yuv420_convert [rounds]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "yuv420.h"

#ifdef QMR_WITH_LIBYUV
#include <libyuv/convert_argb.h>
#endif

namespace {

double Seconds() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

const char* KernelName(yuv420_kernel kernel) {
  switch (kernel) {
    case YUV420_KERNEL_SCALAR:
      return "scalar";
    case YUV420_KERNEL_SSE2:
      return "sse2";
    case YUV420_KERNEL_AVX2:
      return "avx2";
    case YUV420_KERNEL_AVX512BW:
      return "avx512bw";
    default:
      return "auto";
  }
}

struct Contender {
  std::string name;
  std::function<void()> run;
  std::vector<double> seconds;  // per frame, one a round
};

// Median over rounds of a / b, each round's pair measured together.
double MedianRatio(const Contender& a, const Contender& b) {
  std::vector<double> ratios;
  for (size_t i = 0; i < a.seconds.size(); ++i) ratios.push_back(a.seconds[i] / b.seconds[i]);
  return Median(ratios);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = std::max(1, argc > 1 ? std::atoi(argv[1]) : 21);
  const struct {
    int width, height;
  } sizes[] = {{640, 480}, {1920, 1080}, {3840, 2160}};
  const yuv420_kernel chosen = yuv420_kernel_chosen();
  std::vector<yuv420_kernel> kernels;
  for (yuv420_kernel k : {YUV420_KERNEL_SSE2, YUV420_KERNEL_AVX2, YUV420_KERNEL_AVX512BW}) {
    if (yuv420_kernel_available(k)) kernels.push_back(k);
  }
  if (kernels.empty()) kernels.push_back(YUV420_KERNEL_SCALAR);

  std::printf("AUTO chooses %s (marked *); %d rounds\n", KernelName(chosen), rounds);
#ifdef QMR_WITH_LIBYUV
  std::printf("%-10s %-6s %-10s %10s %10s %10s %8s %8s %9s\n", "frame", "layout", "kernel", "ours ms", "libyuv ms",
              "memcpy ms", "/libyuv", "/memcpy", "max diff");
#else
  std::printf("%-10s %-6s %-10s %10s %10s %8s\n", "frame", "layout", "kernel", "ours ms", "memcpy ms", "/memcpy");
#endif
  for (const auto& size : sizes) {
    const int w = size.width, h = size.height;
    const size_t out_bytes = static_cast<size_t>(w) * h * 4;
    std::vector<uint8_t> sample(yuv420_sample_size(w, h));
    uint32_t state = 12345;
    for (uint8_t& byte : sample) {
      state = state * 1664525u + 1013904223u;
      byte = static_cast<uint8_t>(state >> 24);
    }
    std::vector<uint8_t> ours(out_bytes), copy_from(out_bytes, 0x5A), copy_to(out_bytes);
    // Enough repetitions that one measurement lasts a few milliseconds.
    const int repeat = std::max(1, static_cast<int>(16u * 1024 * 1024 / out_bytes));
    char frame[24];
    std::snprintf(frame, sizeof frame, "%dx%d", w, h);

    for (yuv420_layout layout : {YUV420_NV12, YUV420_I420}) {
      const bool nv12 = layout == YUV420_NV12;
      const uint8_t* y = sample.data();
      const uint8_t* chroma = y + static_cast<size_t>(w) * h;
      std::vector<Contender> contenders;
      for (yuv420_kernel k : kernels) {
        contenders.push_back({KernelName(k), [&, k] { yuv420_to_rgb32_with(k, layout, y, w, h, ours.data()); }, {}});
      }
      const size_t memcpy_at = contenders.size();
      contenders.push_back({"memcpy", [&] { std::memcpy(copy_to.data(), copy_from.data(), out_bytes); }, {}});
#ifdef QMR_WITH_LIBYUV
      std::vector<uint8_t> theirs(out_bytes);
      const size_t libyuv_at = contenders.size();
      // A negative height makes libyuv write bottom-up as we do; its ARGB is B, G, R, A in memory.
      contenders.push_back({"libyuv",
                            [&] {
                              if (nv12) {
                                libyuv::NV12ToARGB(y, w, chroma, w, theirs.data(), w * 4, w, -h);
                              } else {
                                const uint8_t* v = chroma + static_cast<size_t>(w / 2) * (h / 2);
                                libyuv::I420ToARGB(y, w, chroma, w / 2, v, w / 2, theirs.data(), w * 4, w, -h);
                              }
                            },
                            {}});
#endif
      for (Contender& c : contenders) c.run();  // warm-up
#ifdef QMR_WITH_LIBYUV
      yuv420_to_rgb32_with(chosen, layout, y, w, h, ours.data());
      int largest = 0;
      for (size_t i = 0; i < out_bytes; ++i) largest = std::max(largest, std::abs(ours[i] - theirs[i]));
#else
      (void)chroma;
      (void)nv12;
#endif
      for (int round = 0; round < rounds; ++round) {
        // Each round starts with another contender, so none always runs right after the same one.
        for (size_t i = 0; i < contenders.size(); ++i) {
          Contender& c = contenders[(i + round) % contenders.size()];
          const double start = Seconds();
          for (int r = 0; r < repeat; ++r) c.run();
          c.seconds.push_back((Seconds() - start) / repeat);
        }
      }
      const Contender& copy = contenders[memcpy_at];
      for (size_t k = 0; k < kernels.size(); ++k) {
        const Contender& c = contenders[k];
        const std::string name = c.name + (kernels[k] == chosen ? " *" : "");
#ifdef QMR_WITH_LIBYUV
        const Contender& lib = contenders[libyuv_at];
        std::printf("%-10s %-6s %-10s %10.3f %10.3f %10.3f %8.3f %8.3f %9d\n", frame, nv12 ? "NV12" : "I420",
                    name.c_str(), Median(c.seconds) * 1e3, Median(lib.seconds) * 1e3, Median(copy.seconds) * 1e3,
                    MedianRatio(c, lib), MedianRatio(c, copy), largest);
#else
        std::printf("%-10s %-6s %-10s %10.3f %10.3f %8.3f\n", frame, nv12 ? "NV12" : "I420", name.c_str(),
                    Median(c.seconds) * 1e3, Median(copy.seconds) * 1e3, MedianRatio(c, copy));
#endif
      }
    }
  }
  return 0;
}
