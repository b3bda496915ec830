#include "test_codec.h"

#include <vfw.h>

#include <atomic>
#include <mutex>

#include "jpeg_decode.h"
#include "rgb_layout.h"
#include "yuy2_convert.h"

namespace test_codec {
namespace {

std::atomic<int> open_instances{0};
std::atomic<int> failed_frames{0};
std::atomic<DWORD_PTR> next_id{1};

std::mutex install_mutex;
int installs = 0;  // TestCodec objects alive; the codec stays installed while any is

bool AcceptsInput(const BITMAPINFOHEADER* in) {
  if (in == nullptr || in->biWidth <= 0 || in->biHeight == 0) return false;
  if (in->biCompression == kFourccYuy2) return in->biBitCount == 16 && in->biWidth % 2 == 0;
  return in->biCompression == kFourccMjpg;
}

LRESULT Query(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out) {
  if (!AcceptsInput(in)) return ICERR_BADFORMAT;
  // The AVI decompressor offers YUV outputs before RGB ones: only RGB is ours to make.
  if (out != nullptr && !IsRgbOutputFor(*out, in->biWidth, in->biHeight)) return ICERR_BADFORMAT;
  return ICERR_OK;
}

LRESULT GetFormat(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out) {
  if (out == nullptr) return sizeof(BITMAPINFOHEADER);
  if (!AcceptsInput(in)) return ICERR_BADFORMAT;
  *out = BITMAPINFOHEADER{};
  out->biSize = sizeof(BITMAPINFOHEADER);
  out->biWidth = in->biWidth;
  out->biHeight = labs(in->biHeight);
  out->biPlanes = 1;
  out->biBitCount = 32;
  out->biCompression = BI_RGB;
  out->biSizeImage = static_cast<DWORD>(out->biWidth * out->biHeight * 4);
  return ICERR_OK;
}

LRESULT Decompress(const ICDECOMPRESS* call) {
  // Each call carries the output header to use; the one given at decompress-begin may not be it.
  if (call == nullptr || call->lpInput == nullptr || call->lpOutput == nullptr ||
      Query(call->lpbiInput, call->lpbiOutput) != ICERR_OK) {
    ++failed_frames;
    return ICERR_BADFORMAT;
  }
  const BITMAPINFOHEADER& in = *call->lpbiInput;
  const RgbLayout layout = LayoutOf(*call->lpbiOutput);
  BYTE* out = static_cast<BYTE*>(call->lpOutput);
  if (in.biCompression == kFourccYuy2) {
    // A short sample must not be read past its end.
    if (in.biSizeImage != 0 && in.biSizeImage < static_cast<DWORD>(in.biWidth * labs(in.biHeight) * 2)) {
      ++failed_frames;
      return ICERR_BADFORMAT;
    }
    ConvertYuy2(static_cast<const BYTE*>(call->lpInput), in.biWidth, in.biHeight, layout, out);
  } else if (FAILED(DecodeJpeg(static_cast<const BYTE*>(call->lpInput), in.biSizeImage, layout, out))) {
    ++failed_frames;
    return ICERR_ERROR;
  }
  call->lpbiOutput->biSizeImage = static_cast<DWORD>(layout.stride * layout.rows);
  return ICERR_OK;
}

LRESULT GetInfo(ICINFO* info, LPARAM size) {
  if (info == nullptr || size < static_cast<LPARAM>(sizeof(ICINFO))) return 0;
  *info = ICINFO{};
  info->dwSize = sizeof(ICINFO);
  info->fccType = ICTYPE_VIDEO;
  info->dwVersionICM = ICVERSION;
  wcscpy(info->szName, L"qmrtest");
  wcscpy(info->szDescription, L"Test codec: YUY2 and MJPG to RGB");
  return sizeof(ICINFO);
}

LRESULT CALLBACK DriverProc(DWORD_PTR, HDRVR, UINT message, LPARAM p1, LPARAM p2) {
  switch (message) {
    case DRV_LOAD:
    case DRV_FREE:
    case DRV_ENABLE:
    case DRV_DISABLE:
      return 1;
    case DRV_OPEN: {
      const auto* open = reinterpret_cast<const ICOPEN*>(p2);
      if (open != nullptr && open->fccType != ICTYPE_VIDEO) return 0;
      ++open_instances;
      return static_cast<LRESULT>(next_id++);
    }
    case DRV_CLOSE:
      --open_instances;
      return 1;
    case ICM_GETINFO:
      return GetInfo(reinterpret_cast<ICINFO*>(p1), p2);
    case ICM_DECOMPRESS_QUERY:
      return Query(reinterpret_cast<const BITMAPINFOHEADER*>(p1), reinterpret_cast<const BITMAPINFOHEADER*>(p2));
    case ICM_DECOMPRESS_GET_FORMAT:
      return GetFormat(reinterpret_cast<const BITMAPINFOHEADER*>(p1), reinterpret_cast<BITMAPINFOHEADER*>(p2));
    case ICM_DECOMPRESS_BEGIN:
      // Wine's AVI decompressor passes its input format as the output here: only the input counts.
      return AcceptsInput(reinterpret_cast<const BITMAPINFOHEADER*>(p1)) ? ICERR_OK : ICERR_BADFORMAT;
    case ICM_DECOMPRESS:
      return Decompress(reinterpret_cast<const ICDECOMPRESS*>(p1));
    case ICM_DECOMPRESS_END:
      return ICERR_OK;
    default:
      return message >= DRV_USER ? ICERR_UNSUPPORTED : 0;
  }
}

}  // namespace

TestCodec::TestCodec() {
  std::lock_guard<std::mutex> lock(install_mutex);
  if (installs == 0) {
    if (!ICInstall(ICTYPE_VIDEO, kFourccYuy2, reinterpret_cast<LPARAM>(&DriverProc), nullptr, ICINSTALL_FUNCTION)) {
      return;
    }
    if (!ICInstall(ICTYPE_VIDEO, kFourccMjpg, reinterpret_cast<LPARAM>(&DriverProc), nullptr, ICINSTALL_FUNCTION)) {
      ICRemove(ICTYPE_VIDEO, kFourccYuy2, 0);
      return;
    }
  }
  ++installs;
  installed_ = true;
}

TestCodec::~TestCodec() {
  std::lock_guard<std::mutex> lock(install_mutex);
  if (!installed_ || --installs > 0) return;
  for (DWORD fourcc : {kFourccYuy2, kFourccMjpg}) ICRemove(ICTYPE_VIDEO, fourcc, 0);
}

int TestCodec::OpenInstances() { return open_instances; }
int TestCodec::FailedFrames() { return failed_frames; }

}  // namespace test_codec
