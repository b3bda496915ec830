// Serves a platform class from this process for one test, ahead of the system's own: either failing
// every creation (to make one DirectShow object unavailable), creating a stub filter with no pins (to
// stand in for a filter the platform lacks), or creating another platform class in its place (a real
// filter that does the missing one's work, aggregated so that its end is seen). Test thread only, COM
// initialised.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>

namespace virtual_camera {

class ClassOverride {
 public:
  enum Kind { kFails, kStubFilter };
  ClassOverride(const CLSID& clsid, Kind kind);
  ClassOverride(const CLSID& clsid, const CLSID& served_by);
  ~ClassOverride();
  ClassOverride(const ClassOverride&) = delete;
  ClassOverride& operator=(const ClassOverride&) = delete;

  int created() const { return *created_; }
  int alive() const { return *alive_; }

 private:
  void Register(const CLSID& clsid, IClassFactory* factory);

  DWORD cookie_ = 0;
  std::shared_ptr<std::atomic<int>> created_;
  std::shared_ptr<std::atomic<int>> alive_;
};

}  // namespace virtual_camera
