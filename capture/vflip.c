// ds_vflip_32: turns a frame of 32-bit pixels upside down in place. Uses no library state; any thread.
#include <stddef.h>
#include <stdint.h>

#include "qmr_dshow.h"

#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>
#define QMR_HAVE_SSE2_PATH 1
#endif

// Swapping the two rows moves the bytes of one copy and needs no scratch row, whatever the width
// (a 16384-pixel row would not fit a small stack).
static void swap_words(uint32_t* top, uint32_t* bottom, size_t words) {
  for (size_t i = 0; i < words; ++i) {
    const uint32_t word = top[i];
    top[i] = bottom[i];
    bottom[i] = word;
  }
}

#ifdef QMR_HAVE_SSE2_PATH
// The 32-bit target's baseline has no SSE2; every processor that runs the platform today does.
__attribute__((target("sse2"))) static void swap_rows_sse2(uint32_t* top, uint32_t* bottom, size_t words) {
  size_t i = 0;
  for (; i + 8 <= words; i += 8) {
    __m128i* a = (__m128i*)(top + i);
    __m128i* b = (__m128i*)(bottom + i);
    const __m128i a0 = _mm_loadu_si128(a), a1 = _mm_loadu_si128(a + 1);
    const __m128i b0 = _mm_loadu_si128(b), b1 = _mm_loadu_si128(b + 1);
    _mm_storeu_si128(a, b0);
    _mm_storeu_si128(a + 1, b1);
    _mm_storeu_si128(b, a0);
    _mm_storeu_si128(b + 1, a1);
  }
  swap_words(top + i, bottom + i, words - i);
}
#endif

int QMR_CDECL ds_vflip_32(void* pixels, int32_t width, uint32_t height) {
  // A height above INT32_MAX is a format's negative height passed on: a top-down frame, already top
  // row first. Taken as unsigned it would walk rows far outside the frame.
  if (pixels == NULL || width <= 0 || height > (uint32_t)INT32_MAX) return 0;
  const size_t words = (size_t)width;
  uint32_t* rows = (uint32_t*)pixels;
#ifdef QMR_HAVE_SSE2_PATH
  const int sse2 = __builtin_cpu_supports("sse2");
#else
  const int sse2 = 0;
#endif
  for (uint32_t i = 0; i < height / 2; ++i) {
    uint32_t* top = rows + (size_t)i * words;
    uint32_t* bottom = rows + (size_t)(height - 1 - i) * words;
#ifdef QMR_HAVE_SSE2_PATH
    if (sse2) {
      swap_rows_sse2(top, bottom, words);
      continue;
    }
#endif
    swap_words(top, bottom, words);
  }
  return 0;
}
