// The virtual camera's MJPG frames: real JPEG images, made once per size with the platform's JPEG
// encoder (the Windows Imaging Component) when a camera that offers that size is set up, and kept for
// the process. A frame's number, modulo kJpegCycle, is drawn into its image, so that one encoded
// image per number serves every frame. Prepare on a thread with COM; copy from any thread.
#pragma once

#include <windows.h>

#include <stdint.h>

namespace virtual_camera {

constexpr uint32_t kJpegCycle = 16;

// Encodes the images of this size unless that was done before.
bool PrepareJpegFrames(LONG width, LONG height);
// Copies the frame with this number and returns its length; 0 when the size was not prepared or the
// frame does not fit.
DWORD CopyJpegFrame(LONG width, LONG height, uint32_t counter, BYTE* out, DWORD room);

}  // namespace virtual_camera
