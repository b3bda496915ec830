// 4:2:0 to RGB32 in 16-bit fixed point with 6 fractional bits. Two picture rows are converted together so
// that each chroma sample is worked out once. Every kernel does the same integer arithmetic, so all of
// them give the same bytes; the scalar one is the reference.
#include "yuv420.h"

#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>
#define YUV420_X86 1
#endif

// The high half of (Y * 257) * LUMA_SCALE is 1.164 * 64 * Y to within 1/64 of a level, one multiply for
// what would otherwise need 32-bit lanes. LUMA_OFFSET is 1.164 * 64 * 16 less the 32 that makes the
// final shift round.
enum { LUMA_SCALE = 18997, LUMA_OFFSET = 1160 };
// round(64 * the BT.601 coefficient). Blue's 129 needs 16-bit multiplies: it does not fit a signed byte.
enum { R_FROM_V = 102, G_FROM_U = 25, G_FROM_V = 52, B_FROM_U = 129 };

// One row pair: the picture rows y0 and y1 sharing the chroma row u, v, written to out0 and out1. For
// NV12, u and v point into the same row, one byte apart.
typedef void (*pair_fn)(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v, uint8_t* out0,
                        uint8_t* out1, int32_t width);

// As the vector kernels' saturating add, shift and pack do it.
static inline uint8_t channel(int32_t value) {
  if (value < 0) return 0;
  return value >= 256 * 64 ? 255 : (uint8_t)(value >> 6);
}

static inline void put_pixel(uint8_t* out, uint8_t y, int32_t r, int32_t g, int32_t b) {
  const int32_t luma = (int32_t)(((uint32_t)y * 257u * LUMA_SCALE) >> 16) - LUMA_OFFSET;
  out[0] = channel(luma + b);
  out[1] = channel(luma - g);
  out[2] = channel(luma + r);
  out[3] = 255;
}

static inline void pair_scalar(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v,
                               size_t chroma_step, uint8_t* out0, uint8_t* out1, int32_t width) {
  for (int32_t x = 0; x < width; x += 2) {
    const size_t c = (size_t)x / 2 * chroma_step;
    const int32_t d = u[c] - 128, e = v[c] - 128;
    const int32_t r = R_FROM_V * e, g = G_FROM_U * d + G_FROM_V * e, b = B_FROM_U * d;
    put_pixel(out0 + x * 4, y0[x], r, g, b);
    put_pixel(out0 + x * 4 + 4, y0[x + 1], r, g, b);
    put_pixel(out1 + x * 4, y1[x], r, g, b);
    put_pixel(out1 + x * 4 + 4, y1[x + 1], r, g, b);
  }
}

static void pair_scalar_nv12(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v, uint8_t* out0,
                             uint8_t* out1, int32_t width) {
  pair_scalar(y0, y1, u, v, 2, out0, out1, width);
}

static void pair_scalar_i420(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v, uint8_t* out0,
                             uint8_t* out1, int32_t width) {
  pair_scalar(y0, y1, u, v, 1, out0, out1, width);
}

#ifdef YUV420_X86
// The 32-bit target's baseline has none of these instruction sets. Its callers (DirectShow's streaming
// threads among them) may leave the stack only 4-byte aligned, so the vector functions realign it
// themselves before spilling.
#ifdef __i386__
#define YUV420_ENTRY __attribute__((force_align_arg_pointer))
#else
#define YUV420_ENTRY
#endif
// Each layout gets a loop of its own.
#define YUV420_INLINE __attribute__((always_inline))
// GCC cannot realign 64-bit Windows stacks beyond 16 bytes, yet spills 32- and 64-byte registers with
// aligned moves. The loops below fit in the registers (objdump shows no vector access to the stack), and
// the library assembles this file with -muse-unaligned-vector-move for a compiler that spills anyway.
#define YUV420_SSE2 __attribute__((target("sse2")))
#define YUV420_AVX2 __attribute__((target("avx2")))
#define YUV420_AVX512 __attribute__((target("avx512bw")))

// Each block converts a run of pixels of both rows, given the run's U and V as 16-bit lanes. Luma and
// chroma lanes are packed row 0 with row 1, so the byte interleave that follows yields both rows' pixels at
// once; the wider kernels load luma and chroma in an order (see their loaders) that makes those pixels come
// out left to right.
YUV420_SSE2 static inline __m128i luma_sse2(__m128i y16) {
  return _mm_sub_epi16(_mm_mulhi_epu16(y16, _mm_set1_epi16(LUMA_SCALE)), _mm_set1_epi16(LUMA_OFFSET));
}

YUV420_SSE2 static inline __m128i pack_sse2(__m128i luma0, __m128i luma1, __m128i chroma, int subtract) {
  const __m128i a = subtract ? _mm_subs_epi16(luma0, chroma) : _mm_adds_epi16(luma0, chroma);
  const __m128i b = subtract ? _mm_subs_epi16(luma1, chroma) : _mm_adds_epi16(luma1, chroma);
  return _mm_packus_epi16(_mm_srai_epi16(a, 6), _mm_srai_epi16(b, 6));
}

// 16 pixels of each row; u16 and v16 hold 8 samples.
YUV420_SSE2 static inline void block_sse2(const uint8_t* y0, const uint8_t* y1, __m128i u16, __m128i v16, uint8_t* out0,
                                          uint8_t* out1) {
  const __m128i d = _mm_sub_epi16(u16, _mm_set1_epi16(128)), e = _mm_sub_epi16(v16, _mm_set1_epi16(128));
  const __m128i r = _mm_mullo_epi16(e, _mm_set1_epi16(R_FROM_V));
  const __m128i g =
      _mm_add_epi16(_mm_mullo_epi16(d, _mm_set1_epi16(G_FROM_U)), _mm_mullo_epi16(e, _mm_set1_epi16(G_FROM_V)));
  const __m128i b = _mm_mullo_epi16(d, _mm_set1_epi16(B_FROM_U));
  const __m128i row0 = _mm_loadu_si128((const __m128i*)y0), row1 = _mm_loadu_si128((const __m128i*)y1);
  const __m128i alpha = _mm_set1_epi8((char)0xFF);
  for (int half = 0; half < 2; ++half) {
    const __m128i l0 = luma_sse2(half ? _mm_unpackhi_epi8(row0, row0) : _mm_unpacklo_epi8(row0, row0));
    const __m128i l1 = luma_sse2(half ? _mm_unpackhi_epi8(row1, row1) : _mm_unpacklo_epi8(row1, row1));
    const __m128i red = pack_sse2(l0, l1, half ? _mm_unpackhi_epi16(r, r) : _mm_unpacklo_epi16(r, r), 0);
    const __m128i green = pack_sse2(l0, l1, half ? _mm_unpackhi_epi16(g, g) : _mm_unpacklo_epi16(g, g), 1);
    const __m128i blue = pack_sse2(l0, l1, half ? _mm_unpackhi_epi16(b, b) : _mm_unpacklo_epi16(b, b), 0);
    const __m128i bg0 = _mm_unpacklo_epi8(blue, green), bg1 = _mm_unpackhi_epi8(blue, green);
    const __m128i ra0 = _mm_unpacklo_epi8(red, alpha), ra1 = _mm_unpackhi_epi8(red, alpha);
    __m128i* o0 = (__m128i*)(out0 + half * 32);
    __m128i* o1 = (__m128i*)(out1 + half * 32);
    _mm_storeu_si128(o0, _mm_unpacklo_epi16(bg0, ra0));
    _mm_storeu_si128(o0 + 1, _mm_unpackhi_epi16(bg0, ra0));
    _mm_storeu_si128(o1, _mm_unpacklo_epi16(bg1, ra1));
    _mm_storeu_si128(o1 + 1, _mm_unpackhi_epi16(bg1, ra1));
  }
}

// A row whose width is not a multiple of the block ends with a block that overlaps the one before; it
// writes the same bytes again.
YUV420_SSE2 YUV420_INLINE static inline void pair_sse2(int nv12, const uint8_t* y0, const uint8_t* y1, const uint8_t* u,
                                                       const uint8_t* v, uint8_t* out0, uint8_t* out1, int32_t width) {
  if (width < 16) {
    pair_scalar(y0, y1, u, v, nv12 ? 2 : 1, out0, out1, width);
    return;
  }
  for (int32_t x = 0;; x += 16) {
    if (x > width - 16) x = width - 16;
    __m128i u16, v16;
    if (nv12) {
      const __m128i uv = _mm_loadu_si128((const __m128i*)(u + x));
      u16 = _mm_and_si128(uv, _mm_set1_epi16(0xFF));
      v16 = _mm_srli_epi16(uv, 8);
    } else {
      u16 = _mm_unpacklo_epi8(_mm_loadl_epi64((const __m128i*)(u + x / 2)), _mm_setzero_si128());
      v16 = _mm_unpacklo_epi8(_mm_loadl_epi64((const __m128i*)(v + x / 2)), _mm_setzero_si128());
    }
    block_sse2(y0 + x, y1 + x, u16, v16, out0 + (size_t)x * 4, out1 + (size_t)x * 4);
    if (x == width - 16) break;
  }
}

YUV420_ENTRY YUV420_SSE2 static void pair_sse2_nv12(const uint8_t* y0, const uint8_t* y1, const uint8_t* u,
                                                    const uint8_t* v, uint8_t* out0, uint8_t* out1, int32_t width) {
  pair_sse2(1, y0, y1, u, v, out0, out1, width);
}

YUV420_ENTRY YUV420_SSE2 static void pair_sse2_i420(const uint8_t* y0, const uint8_t* y1, const uint8_t* u,
                                                    const uint8_t* v, uint8_t* out0, uint8_t* out1, int32_t width) {
  pair_sse2(0, y0, y1, u, v, out0, out1, width);
}

YUV420_AVX2 static inline __m256i luma_avx2(__m256i y16) {
  return _mm256_sub_epi16(_mm256_mulhi_epu16(y16, _mm256_set1_epi16(LUMA_SCALE)), _mm256_set1_epi16(LUMA_OFFSET));
}

YUV420_AVX2 static inline __m256i pack_avx2(__m256i luma0, __m256i luma1, __m256i chroma, int subtract) {
  const __m256i a = subtract ? _mm256_subs_epi16(luma0, chroma) : _mm256_adds_epi16(luma0, chroma);
  const __m256i b = subtract ? _mm256_subs_epi16(luma1, chroma) : _mm256_adds_epi16(luma1, chroma);
  return _mm256_packus_epi16(_mm256_srai_epi16(a, 6), _mm256_srai_epi16(b, 6));
}

// The in-lane unpacks leave lane k holding 4-pixel group 4k + j at the j-th of its four stores; taking
// the luma groups (and the chroma of each) in the order 0, 2, 4, 6, 1, 3, 5, 7 puts the stores in
// picture order.
YUV420_AVX2 static inline __m256i order_avx2(__m256i groups) {
  return _mm256_permutevar8x32_epi32(groups, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7));
}

// 32 pixels of each row; u16 and v16 hold 16 samples, in the order order_avx2 gives.
YUV420_AVX2 static inline void block_avx2(const uint8_t* y0, const uint8_t* y1, __m256i u16, __m256i v16, uint8_t* out0,
                                          uint8_t* out1) {
  const __m256i d = _mm256_sub_epi16(u16, _mm256_set1_epi16(128)), e = _mm256_sub_epi16(v16, _mm256_set1_epi16(128));
  const __m256i r = _mm256_mullo_epi16(e, _mm256_set1_epi16(R_FROM_V));
  const __m256i g = _mm256_add_epi16(_mm256_mullo_epi16(d, _mm256_set1_epi16(G_FROM_U)),
                                     _mm256_mullo_epi16(e, _mm256_set1_epi16(G_FROM_V)));
  const __m256i b = _mm256_mullo_epi16(d, _mm256_set1_epi16(B_FROM_U));
  const __m256i row0 = order_avx2(_mm256_loadu_si256((const __m256i*)y0));
  const __m256i row1 = order_avx2(_mm256_loadu_si256((const __m256i*)y1));
  const __m256i alpha = _mm256_set1_epi8((char)0xFF);
  for (int half = 0; half < 2; ++half) {
    const __m256i l0 = luma_avx2(half ? _mm256_unpackhi_epi8(row0, row0) : _mm256_unpacklo_epi8(row0, row0));
    const __m256i l1 = luma_avx2(half ? _mm256_unpackhi_epi8(row1, row1) : _mm256_unpacklo_epi8(row1, row1));
    const __m256i red = pack_avx2(l0, l1, half ? _mm256_unpackhi_epi16(r, r) : _mm256_unpacklo_epi16(r, r), 0);
    const __m256i green = pack_avx2(l0, l1, half ? _mm256_unpackhi_epi16(g, g) : _mm256_unpacklo_epi16(g, g), 1);
    const __m256i blue = pack_avx2(l0, l1, half ? _mm256_unpackhi_epi16(b, b) : _mm256_unpacklo_epi16(b, b), 0);
    const __m256i bg0 = _mm256_unpacklo_epi8(blue, green), bg1 = _mm256_unpackhi_epi8(blue, green);
    const __m256i ra0 = _mm256_unpacklo_epi8(red, alpha), ra1 = _mm256_unpackhi_epi8(red, alpha);
    __m256i* o0 = (__m256i*)(out0 + half * 64);
    __m256i* o1 = (__m256i*)(out1 + half * 64);
    _mm256_storeu_si256(o0, _mm256_unpacklo_epi16(bg0, ra0));
    _mm256_storeu_si256(o0 + 1, _mm256_unpackhi_epi16(bg0, ra0));
    _mm256_storeu_si256(o1, _mm256_unpacklo_epi16(bg1, ra1));
    _mm256_storeu_si256(o1 + 1, _mm256_unpackhi_epi16(bg1, ra1));
  }
}

YUV420_AVX2 YUV420_INLINE static inline void pair_avx2(int nv12, const uint8_t* y0, const uint8_t* y1, const uint8_t* u,
                                                       const uint8_t* v, uint8_t* out0, uint8_t* out1, int32_t width) {
  if (width < 32) {
    (nv12 ? pair_sse2_nv12 : pair_sse2_i420)(y0, y1, u, v, out0, out1, width);
    return;
  }
  for (int32_t x = 0;; x += 32) {
    if (x > width - 32) x = width - 32;
    __m256i u16, v16;
    if (nv12) {
      // Each 4-byte group of U,V pairs is the chroma of one 4-pixel luma group.
      const __m256i uv = order_avx2(_mm256_loadu_si256((const __m256i*)(u + x)));
      u16 = _mm256_and_si256(uv, _mm256_set1_epi16(0xFF));
      v16 = _mm256_srli_epi16(uv, 8);
    } else {
      u16 = order_avx2(_mm256_cvtepu8_epi16(_mm_loadu_si128((const __m128i*)(u + x / 2))));
      v16 = order_avx2(_mm256_cvtepu8_epi16(_mm_loadu_si128((const __m128i*)(v + x / 2))));
    }
    block_avx2(y0 + x, y1 + x, u16, v16, out0 + (size_t)x * 4, out1 + (size_t)x * 4);
    if (x == width - 32) break;
  }
}

YUV420_ENTRY YUV420_AVX2 static void pair_avx2_nv12(const uint8_t* y0, const uint8_t* y1, const uint8_t* u,
                                                    const uint8_t* v, uint8_t* out0, uint8_t* out1, int32_t width) {
  pair_avx2(1, y0, y1, u, v, out0, out1, width);
}

YUV420_ENTRY YUV420_AVX2 static void pair_avx2_i420(const uint8_t* y0, const uint8_t* y1, const uint8_t* u,
                                                    const uint8_t* v, uint8_t* out0, uint8_t* out1, int32_t width) {
  pair_avx2(0, y0, y1, u, v, out0, out1, width);
}

YUV420_AVX512 static inline __m512i luma_avx512(__m512i y16) {
  return _mm512_sub_epi16(_mm512_mulhi_epu16(y16, _mm512_set1_epi16(LUMA_SCALE)), _mm512_set1_epi16(LUMA_OFFSET));
}

YUV420_AVX512 static inline __m512i pack_avx512(__m512i luma0, __m512i luma1, __m512i chroma, int subtract) {
  const __m512i a = subtract ? _mm512_subs_epi16(luma0, chroma) : _mm512_adds_epi16(luma0, chroma);
  const __m512i b = subtract ? _mm512_subs_epi16(luma1, chroma) : _mm512_adds_epi16(luma1, chroma);
  return _mm512_packus_epi16(_mm512_srai_epi16(a, 6), _mm512_srai_epi16(b, 6));
}

// As order_avx2, for four lanes: group 4j + k goes to lane k, place j.
YUV420_AVX512 static inline __m512i order_avx512(__m512i groups) {
  return _mm512_permutexvar_epi32(_mm512_setr_epi32(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15), groups);
}

// 64 pixels of each row; u16 and v16 hold 32 samples, in the order order_avx512 gives.
YUV420_AVX512 static inline void block_avx512(const uint8_t* y0, const uint8_t* y1, __m512i u16, __m512i v16,
                                              uint8_t* out0, uint8_t* out1) {
  const __m512i d = _mm512_sub_epi16(u16, _mm512_set1_epi16(128)), e = _mm512_sub_epi16(v16, _mm512_set1_epi16(128));
  const __m512i r = _mm512_mullo_epi16(e, _mm512_set1_epi16(R_FROM_V));
  const __m512i g = _mm512_add_epi16(_mm512_mullo_epi16(d, _mm512_set1_epi16(G_FROM_U)),
                                     _mm512_mullo_epi16(e, _mm512_set1_epi16(G_FROM_V)));
  const __m512i b = _mm512_mullo_epi16(d, _mm512_set1_epi16(B_FROM_U));
  const __m512i row0 = order_avx512(_mm512_loadu_si512(y0)), row1 = order_avx512(_mm512_loadu_si512(y1));
  const __m512i alpha = _mm512_set1_epi8((char)0xFF);
  for (int half = 0; half < 2; ++half) {
    const __m512i l0 = luma_avx512(half ? _mm512_unpackhi_epi8(row0, row0) : _mm512_unpacklo_epi8(row0, row0));
    const __m512i l1 = luma_avx512(half ? _mm512_unpackhi_epi8(row1, row1) : _mm512_unpacklo_epi8(row1, row1));
    const __m512i red = pack_avx512(l0, l1, half ? _mm512_unpackhi_epi16(r, r) : _mm512_unpacklo_epi16(r, r), 0);
    const __m512i green = pack_avx512(l0, l1, half ? _mm512_unpackhi_epi16(g, g) : _mm512_unpacklo_epi16(g, g), 1);
    const __m512i blue = pack_avx512(l0, l1, half ? _mm512_unpackhi_epi16(b, b) : _mm512_unpacklo_epi16(b, b), 0);
    const __m512i bg0 = _mm512_unpacklo_epi8(blue, green), bg1 = _mm512_unpackhi_epi8(blue, green);
    const __m512i ra0 = _mm512_unpacklo_epi8(red, alpha), ra1 = _mm512_unpackhi_epi8(red, alpha);
    uint8_t* o0 = out0 + half * 128;
    uint8_t* o1 = out1 + half * 128;
    _mm512_storeu_si512(o0, _mm512_unpacklo_epi16(bg0, ra0));
    _mm512_storeu_si512(o0 + 64, _mm512_unpackhi_epi16(bg0, ra0));
    _mm512_storeu_si512(o1, _mm512_unpacklo_epi16(bg1, ra1));
    _mm512_storeu_si512(o1 + 64, _mm512_unpackhi_epi16(bg1, ra1));
  }
}

YUV420_AVX512 YUV420_INLINE static inline void pair_avx512(int nv12, const uint8_t* y0, const uint8_t* y1,
                                                           const uint8_t* u, const uint8_t* v, uint8_t* out0,
                                                           uint8_t* out1, int32_t width) {
  if (width < 64) {
    (nv12 ? pair_avx2_nv12 : pair_avx2_i420)(y0, y1, u, v, out0, out1, width);
    return;
  }
  for (int32_t x = 0;; x += 64) {
    if (x > width - 64) x = width - 64;
    __m512i u16, v16;
    if (nv12) {
      const __m512i uv = order_avx512(_mm512_loadu_si512(u + x));
      u16 = _mm512_and_si512(uv, _mm512_set1_epi16(0xFF));
      v16 = _mm512_srli_epi16(uv, 8);
    } else {
      u16 = order_avx512(_mm512_cvtepu8_epi16(_mm256_loadu_si256((const __m256i*)(u + x / 2))));
      v16 = order_avx512(_mm512_cvtepu8_epi16(_mm256_loadu_si256((const __m256i*)(v + x / 2))));
    }
    block_avx512(y0 + x, y1 + x, u16, v16, out0 + (size_t)x * 4, out1 + (size_t)x * 4);
    if (x == width - 64) break;
  }
}

YUV420_ENTRY YUV420_AVX512 static void pair_avx512_nv12(const uint8_t* y0, const uint8_t* y1, const uint8_t* u,
                                                        const uint8_t* v, uint8_t* out0, uint8_t* out1, int32_t width) {
  pair_avx512(1, y0, y1, u, v, out0, out1, width);
}

YUV420_ENTRY YUV420_AVX512 static void pair_avx512_i420(const uint8_t* y0, const uint8_t* y1, const uint8_t* u,
                                                        const uint8_t* v, uint8_t* out0, uint8_t* out1, int32_t width) {
  pair_avx512(0, y0, y1, u, v, out0, out1, width);
}
#endif

int yuv420_kernel_available(yuv420_kernel kernel) {
  switch (kernel) {
    case YUV420_KERNEL_AUTO:
    case YUV420_KERNEL_SCALAR:
      return 1;
#ifdef YUV420_X86
    // libgcc's checks include the operating system's saving of the wider registers.
    case YUV420_KERNEL_SSE2:
      return __builtin_cpu_supports("sse2") != 0;
    case YUV420_KERNEL_AVX2:
      return __builtin_cpu_supports("avx2") != 0;
    case YUV420_KERNEL_AVX512BW:
      return __builtin_cpu_supports("avx512bw") != 0;
#endif
    default:
      return 0;
  }
}

// Asked on every frame rather than remembered: a few loads of what libgcc found at start-up, and no
// state to share between streaming threads.
yuv420_kernel yuv420_kernel_chosen(void) {
  static const yuv420_kernel fastest_first[] = {YUV420_KERNEL_AVX512BW, YUV420_KERNEL_AVX2, YUV420_KERNEL_SSE2};
  for (size_t i = 0; i < sizeof fastest_first / sizeof fastest_first[0]; ++i) {
    if (yuv420_kernel_available(fastest_first[i])) return fastest_first[i];
  }
  return YUV420_KERNEL_SCALAR;
}

size_t yuv420_sample_size(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || width % 2 != 0 || height % 2 != 0) return 0;
  // The RGB32 frame is the larger of the two buffers; both must be addressable.
  const uint64_t pixels = (uint64_t)width * (uint64_t)height;
  if (pixels > (uint64_t)PTRDIFF_MAX / 4) return 0;
  return (size_t)(pixels / 2 * 3);
}

static pair_fn pair_for(yuv420_kernel kernel, yuv420_layout layout) {
  const int nv12 = layout == YUV420_NV12;
  switch (kernel) {
#ifdef YUV420_X86
    case YUV420_KERNEL_AVX512BW:
      return nv12 ? pair_avx512_nv12 : pair_avx512_i420;
    case YUV420_KERNEL_AVX2:
      return nv12 ? pair_avx2_nv12 : pair_avx2_i420;
    case YUV420_KERNEL_SSE2:
      return nv12 ? pair_sse2_nv12 : pair_sse2_i420;
#endif
    default:
      return nv12 ? pair_scalar_nv12 : pair_scalar_i420;
  }
}

int yuv420_to_rgb32_with(yuv420_kernel kernel, yuv420_layout layout, const uint8_t* sample, int32_t width,
                         int32_t height, uint8_t* rgb32) {
  if (sample == NULL || rgb32 == NULL || yuv420_sample_size(width, height) == 0) return 0;
  if (layout != YUV420_NV12 && layout != YUV420_I420) return 0;
  if (!yuv420_kernel_available(kernel)) return 0;
  if (kernel == YUV420_KERNEL_AUTO) kernel = yuv420_kernel_chosen();
  const pair_fn pair = pair_for(kernel, layout);

  const size_t w = (size_t)width, luma_bytes = w * (size_t)height, out_stride = w * 4;
  const uint8_t* u = sample + luma_bytes;
  const uint8_t* v = layout == YUV420_NV12 ? u + 1 : u + luma_bytes / 4;
  const size_t chroma_stride = layout == YUV420_NV12 ? w : w / 2;
  for (int32_t row = 0; row < height; row += 2) {
    const uint8_t* y0 = sample + (size_t)row * w;
    const size_t chroma = (size_t)row / 2 * chroma_stride;
    uint8_t* out0 = rgb32 + (size_t)(height - 1 - row) * out_stride;
    pair(y0, y0 + w, u + chroma, v + chroma, out0, out0 - out_stride, width);
  }
  return 1;
}

int yuv420_to_rgb32(yuv420_layout layout, const uint8_t* sample, int32_t width, int32_t height, uint8_t* rgb32) {
  return yuv420_to_rgb32_with(YUV420_KERNEL_AUTO, layout, sample, width, height, rgb32);
}
