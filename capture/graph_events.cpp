#include "graph_events.h"

#include <evcode.h>

#include "qmr_dshow.h"
#include "qmr_log.h"

namespace {

// A filter that keeps posting must not hold the close up.
constexpr int kMaxEvents = 256;

}  // namespace

void LogGraphEvents(IMediaEvent* events) {
  for (int i = 0; i < kMaxEvents; ++i) {
    long code = 0;
    LONG_PTR param1 = 0, param2 = 0;
    // Timeout 0: a device that is gone posts nothing more worth waiting for. E_ABORT: the queue is empty.
    if (events->GetEvent(&code, &param1, &param2, 0) != S_OK) return;
    if (code == EC_DEVICE_LOST && param2 == 0) {  // 1 would say the device is back
      log_row(DS_LEVEL_WARN, "Device was lost while capturing");
    } else if (code == EC_ERRORABORT) {
      log_row(DS_LEVEL_WARN, "Capture aborted (0x%08x)", static_cast<unsigned>(param1));
    }
    // Some events carry references or strings that only this gives back.
    events->FreeEventParams(code, param1, param2);
  }
}
