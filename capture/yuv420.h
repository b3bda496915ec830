// Converts the 4:2:0 samples of cameras that deliver nothing else (NV12, I420) into the library's bottom-up
// RGB32 frames. No state: any thread, the streaming threads of several devices at once.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
  YUV420_NV12,  // Y plane, then one plane of interleaved U,V pairs
  YUV420_I420,  // Y plane, then a U plane, then a V plane
} yuv420_layout;

// width * height * 3 / 2, the bytes of one sample; 0 when width or height is not positive and even, or
// the frame would not fit the address space.
size_t yuv420_sample_size(int32_t width, int32_t height);

// Writes width * height * 4 bytes: B, G, R, 255 per pixel (BT.601, limited range), the picture's last row
// first. Returns 0, having touched nothing, when yuv420_sample_size refuses the size or a pointer is null;
// 1 otherwise.
int yuv420_to_rgb32(yuv420_layout layout, const uint8_t* sample, int32_t width, int32_t height, uint8_t* rgb32);

// For tests and benchmarks: one kernel by name. Every kernel gives the same bytes.
typedef enum {
  YUV420_KERNEL_AUTO,  // the fastest this CPU has; what yuv420_to_rgb32 uses
  YUV420_KERNEL_SCALAR,
  YUV420_KERNEL_SSE2,
  YUV420_KERNEL_AVX2,
  YUV420_KERNEL_AVX512BW,
} yuv420_kernel;

// 1 when this CPU (and its operating system) can run the kernel, else 0.
int yuv420_kernel_available(yuv420_kernel kernel);
// The kernel AUTO stands for on this CPU.
yuv420_kernel yuv420_kernel_chosen(void);
// As yuv420_to_rgb32; also returns 0, having touched nothing, when the kernel is not available.
int yuv420_to_rgb32_with(yuv420_kernel kernel, yuv420_layout layout, const uint8_t* sample, int32_t width,
                         int32_t height, uint8_t* rgb32);

#ifdef __cplusplus
}
#endif
