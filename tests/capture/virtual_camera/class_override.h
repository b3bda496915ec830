// Serves a platform class from this process for one test, ahead of the system's own: either failing
// every creation with a chosen code (to make one DirectShow object unavailable), creating a stub filter
// with no pins (to stand in for a filter the platform lacks), or creating a platform class in its place,
// aggregated so that its end is seen: another one (a real filter that does the missing one's work) or
// the system's own object of the same class (to count whether every reference to it was given back).
// Serving needs a class that allows aggregation, which Wine's capture graph builder does not. Test
// thread only, COM initialised.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>

namespace virtual_camera {

class ClassOverride {
 public:
  enum Kind { kFails, kStubFilter };
  ClassOverride(const CLSID& clsid, Kind kind, HRESULT failure = E_FAIL);
  // served_by may be clsid itself: the system's object, counted.
  ClassOverride(const CLSID& clsid, const CLSID& served_by);
  ~ClassOverride();
  ClassOverride(const ClassOverride&) = delete;
  ClassOverride& operator=(const ClassOverride&) = delete;

  int created() const { return *created_; }
  // Objects created and not yet destroyed: the last reference to them not given back.
  int alive() const { return *alive_; }

 private:
  void Register(const CLSID& clsid, IClassFactory* factory);

  DWORD cookie_ = 0;
  std::shared_ptr<std::atomic<int>> created_;
  std::shared_ptr<std::atomic<int>> alive_;
};

}  // namespace virtual_camera
