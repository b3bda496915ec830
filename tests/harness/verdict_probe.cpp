// A test program that behaves as faulty ones do, one suite per fault, for the verdicts that
// run-gtest-verdicts.sh requires of scripts/run-gtest.sh.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

void WriteThroughNull() {
  volatile int* volatile nowhere = nullptr;
  *nowhere = 1;
}

// Threads that outlive the test, as the graph's, the camera's and COM's threads do: with them about,
// Wine's crash handler ends a crashed process with status 0.
void StartIdleThreads() {
  for (int i = 0; i < 3; ++i) {
    std::thread([] {
      for (;;) Sleep(5);
    }).detach();
  }
  Sleep(50);
}

// The report's path, from --gtest_output=xml:PATH.
std::string ReportPath() {
  const std::string output = GTEST_FLAG_GET(output);
  return output.rfind("xml:", 0) == 0 ? output.substr(4) : std::string();
}

TEST(Passes, Plainly) {}

TEST(Fails, Plainly) { ADD_FAILURE() << "the planted failure"; }

TEST(CrashesBeforeItsReport, OnItsOwnThread) { WriteThroughNull(); }

TEST(CrashesBeforeItsReport, OnAnotherThreadWhileOthersRun) {
  StartIdleThreads();
  std::thread(WriteThroughNull).join();
}

TEST(CrashesAtExit, AfterItsReport) {
  StartIdleThreads();
  atexit(WriteThroughNull);
}

TEST(EndsEarly, InItsFirstTest) { ExitProcess(0); }
TEST(EndsEarly, WhichNeverRuns) {}

TEST(IsSkipped, Whole) { GTEST_SKIP() << "planted"; }
TEST(IsSkipped, Again) { GTEST_SKIP() << "planted"; }

TEST(IsPartlySkipped, Runs) {}
TEST(IsPartlySkipped, IsSkipped) { GTEST_SKIP() << "planted"; }

TEST(TruncatesItsReport, AtExit) {
  static std::string path = ReportPath();
  ASSERT_FALSE(path.empty());
  // After the report is written: cut it in the middle, as a process that died while writing would.
  atexit([] {
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) return;
    std::string bytes(1 << 16, '\0');
    bytes.resize(fread(&bytes[0], 1, bytes.size(), file));
    fclose(file);
    file = fopen(path.c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size() / 2, file);
    fclose(file);
  });
}

}  // namespace
