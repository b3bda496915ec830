// ds_vflip_32 against memcpy of the same frame, in the same run: the median ratio per frame size.
//   capture_vflip [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "capture_timing.h"
#include "qmr_dshow.h"

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 15;
  const struct {
    int width, height;
  } sizes[] = {{640, 480}, {1920, 1080}, {3840, 2160}};
  std::printf("%-10s %12s %12s %8s\n", "frame", "memcpy ms", "vflip ms", "ratio");
  for (const auto& size : sizes) {
    const size_t bytes = static_cast<size_t>(size.width) * size.height * 4;
    std::vector<unsigned char> frame(bytes, 0x5A), copy(bytes);
    // Enough repetitions that one measurement lasts a few milliseconds.
    const int repeat = std::max(1, static_cast<int>(64u * 1024 * 1024 / bytes));
    std::vector<double> copies, flips, ratios;
    for (int round = 0; round < rounds; ++round) {
      double t0 = Seconds();
      for (int i = 0; i < repeat; ++i) std::memcpy(copy.data(), frame.data(), bytes);
      double t1 = Seconds();
      for (int i = 0; i < repeat; ++i) ds_vflip_32(frame.data(), size.width, size.height);
      double t2 = Seconds();
      copies.push_back((t1 - t0) / repeat);
      flips.push_back((t2 - t1) / repeat);
      ratios.push_back((t2 - t1) / (t1 - t0));
    }
    char name[16];
    std::snprintf(name, sizeof name, "%dx%d", size.width, size.height);
    std::printf("%-10s %12.3f %12.3f %8.3f\n", name, Median(copies) * 1000, Median(flips) * 1000, Median(ratios));
  }
  return 0;
}
