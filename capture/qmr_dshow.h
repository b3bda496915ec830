// Public interface of qmr_dshow.dll: the records that cross the library boundary as raw memory, and the
// exports. Every export runs on the caller's thread, which needs COM initialised (ds_init does that).
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#ifdef _WIN32
#define QMR_CDECL __cdecl
#else
#define QMR_CDECL
#endif

#ifdef __cplusplus
extern "C" {
#endif

struct IBaseFilter;
struct ICaptureGraphBuilder2;
struct IGraphBuilder;
struct IMediaControl;
struct IMediaEvent;
struct FrameCB;

typedef struct _ds_format {
  int32_t width;
  int32_t height;   // as the device's bitmap header gives it
  uint32_t fourcc;  // first character in the lowest byte; 0 for uncompressed RGB
} ds_format;

typedef struct _ds_capture_device {
  // One COM reference per field, owned by the record from open to close; opaque to the caller.
  struct IBaseFilter* capture_filter;
  struct IBaseFilter* grabber_filter;
  struct IBaseFilter* null_renderer;
  struct IBaseFilter* mjpeg_decompressor;
  struct FrameCB* frame_cb;
  wchar_t name[128];  // UTF-16, zero-padded; no terminator when the text fills the field
  wchar_t path[512];
  uint32_t format_count;
  ds_format formats[64];
  ds_format current_format;
  struct ICaptureGraphBuilder2* capture_builder;
  struct IGraphBuilder* graph;
  struct IMediaControl* media_control;
  struct IMediaEvent* media_event;
} ds_capture_device;

// Called on the graph's streaming thread, never the caller's, with the frame's bytes, which live only
// until it returns. Size the frame from size, not from the format: the delivered format may differ from
// the one asked for. Close waits for the frame in progress, and so does a start that fails once the
// graph has run, so the function must not block on anything the closing or starting thread holds (a
// lock, or a Java monitor that thread keeps). Of the library it may call ds_vflip_32 only:
// ds_close_device from inside any frame function is refused with -1, for its own device and for every
// other (that close would wait for the other device's frame function, which may be waiting for this
// one); the other exports belong to the caller's thread.
typedef void(QMR_CDECL* ds_frame_function)(void* bytes, long size);
// Caller-owned; the library keeps its address from capture start to close and reads callback per frame.
typedef struct _ds_frame_callback {
  ds_frame_function callback;
} ds_frame_callback;

typedef void(QMR_CDECL* ds_log_function)(int level, const char* message);
// Caller-owned; the library keeps its address and reads callback for every message.
typedef struct _ds_log_callback {
  ds_log_function callback;
} ds_log_callback;

// The records' layout, as a foreign-function binding that lays records out with natural alignment
// computes it (Java's, for one), little-endian:
//
//   ds_capture_device      x86 (4-byte pointers)   x64 (8-byte pointers)
//     capture_filter        0                        0
//     grabber_filter        4                        8
//     null_renderer         8                       16
//     mjpeg_decompressor   12                       24
//     frame_cb             16                       32
//     name                 20 (256 bytes)           40
//     path                276 (1024 bytes)         296
//     format_count       1300                     1320
//     formats            1304 (64 x 12 bytes)     1324
//     current_format     2072                     2092
//     capture_builder    2084                     2104
//     graph              2088                     2112
//     media_control      2092                     2120
//     media_event        2096                     2128
//     size               2100                     2136
//   ds_format: 12 bytes on both (width 0, height 4, fourcc 8).
//   ds_frame_callback, ds_log_callback: one function pointer, 4 or 8 bytes. The frame function's byte
//   count is a 32-bit long on both.
#ifdef __cplusplus
#define QMR_STATIC_ASSERT static_assert
#else
#define QMR_STATIC_ASSERT _Static_assert
#endif
#if defined(_WIN64)
QMR_STATIC_ASSERT(sizeof(ds_format) == 12, "ds_format is 12 bytes");
QMR_STATIC_ASSERT(sizeof(ds_capture_device) == 2136, "ds_capture_device is 2136 bytes");
QMR_STATIC_ASSERT(offsetof(ds_capture_device, grabber_filter) == 8, "grabber_filter at 8");
QMR_STATIC_ASSERT(offsetof(ds_capture_device, frame_cb) == 32, "frame_cb at 32");
QMR_STATIC_ASSERT(offsetof(ds_capture_device, name) == 40, "name at 40");
QMR_STATIC_ASSERT(offsetof(ds_capture_device, path) == 296, "path at 296");
QMR_STATIC_ASSERT(offsetof(ds_capture_device, format_count) == 1320, "format_count at 1320");
QMR_STATIC_ASSERT(offsetof(ds_capture_device, formats) == 1324, "formats at 1324");
QMR_STATIC_ASSERT(offsetof(ds_capture_device, current_format) == 2092, "current_format at 2092");
QMR_STATIC_ASSERT(offsetof(ds_capture_device, capture_builder) == 2104, "capture_builder at 2104");
QMR_STATIC_ASSERT(offsetof(ds_capture_device, media_event) == 2128, "media_event at 2128");
QMR_STATIC_ASSERT(sizeof(ds_frame_callback) == 8 && sizeof(ds_log_callback) == 8, "callback records");
QMR_STATIC_ASSERT(sizeof(long) == 4, "the frame function's byte count is 32 bits");
#elif defined(_WIN32)
QMR_STATIC_ASSERT(sizeof(ds_format) == 12, "ds_format is 12 bytes");
QMR_STATIC_ASSERT(sizeof(ds_capture_device) == 2100, "ds_capture_device is 2100 bytes");
QMR_STATIC_ASSERT(offsetof(ds_capture_device, grabber_filter) == 4, "grabber_filter at 4");
QMR_STATIC_ASSERT(offsetof(ds_capture_device, frame_cb) == 16, "frame_cb at 16");
QMR_STATIC_ASSERT(offsetof(ds_capture_device, name) == 20, "name at 20");
QMR_STATIC_ASSERT(offsetof(ds_capture_device, path) == 276, "path at 276");
QMR_STATIC_ASSERT(offsetof(ds_capture_device, format_count) == 1300, "format_count at 1300");
QMR_STATIC_ASSERT(offsetof(ds_capture_device, formats) == 1304, "formats at 1304");
QMR_STATIC_ASSERT(offsetof(ds_capture_device, current_format) == 2072, "current_format at 2072");
QMR_STATIC_ASSERT(offsetof(ds_capture_device, capture_builder) == 2084, "capture_builder at 2084");
QMR_STATIC_ASSERT(offsetof(ds_capture_device, media_event) == 2096, "media_event at 2096");
QMR_STATIC_ASSERT(sizeof(ds_frame_callback) == 4 && sizeof(ds_log_callback) == 4, "callback records");
#endif

#define DS_LEVEL_TRACE 1
#define DS_LEVEL_DEBUG 2
#define DS_LEVEL_INFO 3
#define DS_LEVEL_WARN 4
#define DS_LEVEL_ERROR 5

int QMR_CDECL ds_init(void);
int QMR_CDECL ds_deinit(void);
int QMR_CDECL ds_set_logger(ds_log_callback* logger);
int QMR_CDECL ds_list_devices(ds_capture_device* records, uint32_t* count);
int QMR_CDECL ds_open_device(ds_capture_device* device);
// 1 null record; 2 not open; -1 called from a frame function (this device's or another's): nothing is
// done, frames go on, and a later close from the caller's thread closes the device. Otherwise the
// record is closed, no frame arrives after the return, and the result is a set of failure bits (0:
// every step succeeded). Events the graph posted while capturing are logged: a lost device, an aborted
// stream.
int QMR_CDECL ds_close_device(ds_capture_device* device);
int QMR_CDECL ds_is_open(ds_capture_device* device);
int QMR_CDECL ds_num_open_devices(void);
// 0 capturing; 1 to 7 a step before connecting failed; -8 connecting failed; -9 the graph did not run:
// Run refused, or the graph did not report running within 3 seconds (a device that another program holds
// refuses so). Once it returns anything but 0 no frame reaches the frame function: a start that fails
// after Run stops the graph first. A start that fails from 5 on leaves what it built for
// ds_close_device: close and open the device again to retry. Every format's frames arrive as RGB32,
// bottom-up: the platform converts YUY2 and MJPG, the library itself NV12 and I420.
int QMR_CDECL ds_start_capture(ds_capture_device* device, const ds_format* format, ds_frame_callback* callback);
// Rows lie one after another, width * 4 bytes each; touches no byte outside width * 4 * height. A
// height above INT32_MAX (a top-down format's negative height passed on) changes nothing: such a frame
// already comes top row first. Any thread, the streaming thread included.
int QMR_CDECL ds_vflip_32(void* pixels, int32_t width, uint32_t height);

#ifdef __cplusplus
}
#endif
