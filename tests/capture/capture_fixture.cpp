#include "capture_fixture.h"

#include <dshow.h>
#include <gtest/gtest.h>
#include <wrl/client.h>

#include <cstring>

#include "camera_images.h"
#include "frame_pattern.h"

namespace capture_tests {

ds_capture_device ListedRecord(size_t index) {
  std::vector<ds_capture_device> records(index + 4);
  uint32_t count = static_cast<uint32_t>(records.size());
  ds_list_devices(records.data(), &count);
  if (count <= index) {
    ADD_FAILURE() << "only " << count << " devices listed";
    return {};
  }
  return records[index];
}

std::vector<std::wstring> FilterNames(const ds_capture_device& device) { return FilterNames(device.graph); }

std::vector<std::wstring> FilterNames(IFilterGraph* graph) {
  std::vector<std::wstring> names;
  if (graph == nullptr) return names;
  Microsoft::WRL::ComPtr<IEnumFilters> filters;
  if (FAILED(graph->EnumFilters(&filters))) return names;
  Microsoft::WRL::ComPtr<IBaseFilter> filter;
  while (filters->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    FILTER_INFO info = {};
    if (SUCCEEDED(filter->QueryFilterInfo(&info))) {
      names.push_back(info.achName);
      if (info.pGraph != nullptr) info.pGraph->Release();
    }
  }
  return names;
}

bool AllPointersNull(const ds_capture_device& device) {
  return device.capture_filter == nullptr && device.grabber_filter == nullptr && device.null_renderer == nullptr &&
         device.mjpeg_decompressor == nullptr && device.frame_cb == nullptr && device.capture_builder == nullptr &&
         device.graph == nullptr && device.media_control == nullptr && device.media_event == nullptr;
}

void FrameSink::Reset(LONG frame_width, LONG frame_height, DWORD fourcc) {
  frames = 0;
  bad = 0;
  after_close = 0;
  closed = false;
  last_size = 0;
  last_thread = 0;
  width = frame_width;
  height = frame_height;
  camera_fourcc = fourcc;
  check_pattern = true;
  keep_last = false;
  followed = nullptr;
  sent_before = 0;
  std::lock_guard<std::mutex> lock(mutex);
  first_problem.clear();
  counters.clear();
  last_frame.clear();
}

void FrameSink::Receive(void* bytes, long size) {
  if (closed) ++after_close;
  last_size = size;
  last_thread = GetCurrentThreadId();
  uint32_t counter = 0;
  std::string why;
  const BYTE* frame = static_cast<const BYTE*>(bytes);
  if (keep_last) {
    std::lock_guard<std::mutex> lock(mutex);
    last_frame.assign(frame, frame + size);
  }
  bool as_made = true;
  if (check_pattern) {
    as_made = camera_fourcc == 0 ? virtual_camera::CheckRgb32Frame(frame, size, width, height, &counter, &why)
                                 : virtual_camera::CheckConvertedFrame(frame, size, width, height, camera_fourcc,
                                                                       /*top_row_last=*/true, &counter, &why);
  }
  if (!as_made) {
    ++bad;
    std::lock_guard<std::mutex> lock(mutex);
    if (first_problem.empty()) first_problem = why;
  } else {
    std::lock_guard<std::mutex> lock(mutex);
    counters.push_back(counter);
  }
  ++frames;
}

bool FrameSink::WaitFor(int count, DWORD milliseconds) const {
  const DWORD start = GetTickCount();
  while (frames < count) {
    if (GetTickCount() - start > milliseconds) return false;
    Sleep(5);
  }
  return true;
}

void FrameSink::Follow(const virtual_camera::CameraStats& stats) {
  followed = &stats;
  sent_before = stats.framesSent;
}

void FrameSink::ExpectEveryFrameDelivered() const {
  if (followed == nullptr) return;
  const int sent = followed->framesSent - sent_before;
  EXPECT_GT(sent, 0);
  EXPECT_NEAR(sent, frames.load(), 2) << "frames sent by the camera against frames received";
}

namespace {

FrameSink sinks[4];

template <int N>
void QMR_CDECL SinkReceive(void* bytes, long size) {
  sinks[N].Receive(bytes, size);
}

}  // namespace

FrameSink& Sink(int index) { return sinks[index]; }

ds_frame_function SinkFunction(int index) {
  static const ds_frame_function functions[] = {&SinkReceive<0>, &SinkReceive<1>, &SinkReceive<2>, &SinkReceive<3>};
  return functions[index];
}

}  // namespace capture_tests
