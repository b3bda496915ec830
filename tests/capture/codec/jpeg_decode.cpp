#include "jpeg_decode.h"

#include <objbase.h>
#include <string.h>
#include <wincodec.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace test_codec {
namespace {

// The streaming thread belongs to the camera, which need not have initialised COM on it.
class ComOnThisThread {
 public:
  ComOnThisThread() : hr_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ~ComOnThisThread() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  ComOnThisThread(const ComOnThisThread&) = delete;
  ComOnThisThread& operator=(const ComOnThisThread&) = delete;

 private:
  HRESULT hr_;  // RPC_E_CHANGED_MODE: the thread has its own apartment, which serves as well
};

HRESULT Decode(const BYTE* data, DWORD size, const RgbLayout& output, BYTE* rgb) {
  ComPtr<IWICImagingFactory> factory;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
  if (FAILED(hr)) return hr;
  ComPtr<IWICStream> stream;
  hr = factory->CreateStream(&stream);
  if (FAILED(hr)) return hr;
  hr = stream->InitializeFromMemory(const_cast<BYTE*>(data), size);
  if (FAILED(hr)) return hr;
  ComPtr<IWICBitmapDecoder> decoder;
  hr = CoCreateInstance(CLSID_WICJpegDecoder, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&decoder));
  if (FAILED(hr)) return hr;
  hr = decoder->Initialize(stream.Get(), WICDecodeMetadataCacheOnDemand);
  if (FAILED(hr)) return hr;
  ComPtr<IWICBitmapFrameDecode> frame;
  hr = decoder->GetFrame(0, &frame);
  if (FAILED(hr)) return hr;
  UINT width = 0, height = 0;
  hr = frame->GetSize(&width, &height);
  if (FAILED(hr)) return hr;
  if (static_cast<LONG>(width) != output.width || static_cast<LONG>(height) != output.rows) return E_INVALIDARG;
  ComPtr<IWICBitmapSource> converted;
  const WICPixelFormatGUID& format =
      output.bytesPerPixel == 4 ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR;
  hr = WICConvertBitmapSource(format, frame.Get(), &converted);
  if (FAILED(hr)) return hr;
  if (!output.bottomUp) {
    return converted->CopyPixels(nullptr, output.stride, static_cast<UINT>(output.stride * output.rows), rgb);
  }
  // WIC delivers the top row first; a bottom-up bitmap wants it last.
  std::vector<BYTE> top_down(static_cast<size_t>(output.stride) * output.rows);
  hr = converted->CopyPixels(nullptr, output.stride, static_cast<UINT>(top_down.size()), top_down.data());
  if (FAILED(hr)) return hr;
  for (LONG y = 0; y < output.rows; ++y) {
    memcpy(OutputRow(output, rgb, y), top_down.data() + y * output.stride, output.stride);
  }
  return S_OK;
}

}  // namespace

HRESULT DecodeJpeg(const BYTE* data, DWORD size, const RgbLayout& output, BYTE* rgb) {
  ComOnThisThread com;
  return Decode(data, size, output, rgb);
}

}  // namespace test_codec
