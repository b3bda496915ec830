#include "jpeg_frames.h"

#include <objbase.h>
#include <string.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "camera_images.h"

using Microsoft::WRL::ComPtr;

namespace virtual_camera {
namespace {

using Size = std::pair<LONG, LONG>;

std::mutex cache_mutex;
std::map<Size, std::vector<std::vector<BYTE>>>& Cache() {
  static std::map<Size, std::vector<std::vector<BYTE>>> cache;
  return cache;
}

// The image of frame number `counter`, top row first, 24-bit BGR.
std::vector<BYTE> Image(LONG width, LONG height, uint32_t counter) {
  const LONG stride = width * 3;
  std::vector<BYTE> pixels(static_cast<size_t>(stride) * height);
  for (LONG y = 0; y < height; ++y) {
    for (LONG x = 0; x < width; ++x) {
      BYTE rgb[3];
      JpegImageRgb(x, y, width, height, counter, rgb);
      BYTE* pixel = &pixels[y * stride + x * 3];
      pixel[0] = rgb[2];
      pixel[1] = rgb[1];
      pixel[2] = rgb[0];
    }
  }
  return pixels;
}

HRESULT Encode(IWICImagingFactory* factory, LONG width, LONG height, uint32_t counter, std::vector<BYTE>* jpeg) {
  ComPtr<IStream> stream;
  HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  if (FAILED(hr)) return hr;
  ComPtr<IWICBitmapEncoder> encoder;
  hr = factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &encoder);
  if (FAILED(hr)) return hr;
  hr = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
  if (FAILED(hr)) return hr;
  ComPtr<IWICBitmapFrameEncode> frame;
  ComPtr<IPropertyBag2> options;
  hr = encoder->CreateNewFrame(&frame, &options);
  if (FAILED(hr)) return hr;
  hr = frame->Initialize(options.Get());
  if (FAILED(hr)) return hr;
  hr = frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height));
  if (FAILED(hr)) return hr;
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  hr = frame->SetPixelFormat(&format);
  if (FAILED(hr)) return hr;
  if (format != GUID_WICPixelFormat24bppBGR) return E_FAIL;
  std::vector<BYTE> pixels = Image(width, height, counter);
  hr = frame->WritePixels(static_cast<UINT>(height), static_cast<UINT>(width * 3), static_cast<UINT>(pixels.size()),
                          pixels.data());
  if (FAILED(hr)) return hr;
  hr = frame->Commit();
  if (FAILED(hr)) return hr;
  hr = encoder->Commit();
  if (FAILED(hr)) return hr;
  STATSTG stat = {};
  hr = stream->Stat(&stat, STATFLAG_NONAME);
  if (FAILED(hr)) return hr;
  jpeg->resize(static_cast<size_t>(stat.cbSize.QuadPart));
  const LARGE_INTEGER origin = {};
  hr = stream->Seek(origin, STREAM_SEEK_SET, nullptr);
  if (FAILED(hr)) return hr;
  ULONG read = 0;
  hr = stream->Read(jpeg->data(), static_cast<ULONG>(jpeg->size()), &read);
  return SUCCEEDED(hr) && read == jpeg->size() ? S_OK : E_FAIL;
}

}  // namespace

bool PrepareJpegFrames(LONG width, LONG height) {
  {
    std::lock_guard<std::mutex> lock(cache_mutex);
    if (Cache().count({width, height}) != 0) return true;
  }
  ComPtr<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)))) {
    return false;
  }
  std::vector<std::vector<BYTE>> frames(kJpegCycle);
  for (uint32_t n = 0; n < kJpegCycle; ++n) {
    if (FAILED(Encode(factory.Get(), width, height, n, &frames[n]))) return false;
  }
  std::lock_guard<std::mutex> lock(cache_mutex);
  Cache().emplace(Size(width, height), std::move(frames));
  return true;
}

DWORD CopyJpegFrame(LONG width, LONG height, uint32_t counter, BYTE* out, DWORD room) {
  std::lock_guard<std::mutex> lock(cache_mutex);
  const auto found = Cache().find({width, height});
  if (found == Cache().end()) return 0;
  const std::vector<BYTE>& jpeg = found->second[counter % kJpegCycle];
  if (jpeg.size() > room) return 0;
  memcpy(out, jpeg.data(), jpeg.size());
  return static_cast<DWORD>(jpeg.size());
}

}  // namespace virtual_camera
