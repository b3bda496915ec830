// Baseline for the real-VM start-up benchmark: the least a program can do to run the application's
// main on a Java runtime, in one process. It loads the given jvm.dll, creates the VM with the same
// five options the launcher passes, runs main with a null array and destroys the VM.
//   bare_jni_host JVM_DLL PENDING_PATH LOGO_PATH [--phases]
// The class path is relative, so the working directory decides where the jar is found, as for the launcher.
#include <jni.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

using CreateJavaVmFunction = jint(JNICALL*)(JavaVM**, void**, void*);

LARGE_INTEGER Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return 1e3 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: bare_jni_host JVM_DLL PENDING_PATH LOGO_PATH [--phases]\n");
    return 2;
  }
  const bool phases = argc > 4 && std::strcmp(argv[4], "--phases") == 0;
  const LARGE_INTEGER start = Now();
  const HMODULE jvm = LoadLibraryA(argv[1]);
  const auto create =
      jvm == nullptr
          ? nullptr
          : reinterpret_cast<CreateJavaVmFunction>(reinterpret_cast<void*>(GetProcAddress(jvm, "JNI_CreateJavaVM")));
  if (create == nullptr) {
    std::fprintf(stderr, "bare_jni_host: cannot load %s (error %lu)\n", argv[1], GetLastError());
    return 3;
  }
  const LARGE_INTEGER loaded = Now();

  std::string classPath = "-Djava.class.path=app\\bootloader.jar";
  std::string msi = "-Dqmr.msi=true";
  std::string pending = std::string("-Dqmr.pending=") + argv[2];
  std::string branding = "-Dqmr.branding=";
  std::string logo = std::string("-Dqmr.logofile=") + argv[3];
  JavaVMOption options[5] = {};
  options[0].optionString = &classPath[0];
  options[1].optionString = &msi[0];
  options[2].optionString = &pending[0];
  options[3].optionString = &branding[0];
  options[4].optionString = &logo[0];
  JavaVMInitArgs args = {};
  args.version = JNI_VERSION_1_8;
  args.nOptions = 5;
  args.options = options;
  args.ignoreUnrecognized = JNI_FALSE;
  JavaVM* vm = nullptr;
  JNIEnv* env = nullptr;
  if (create(&vm, reinterpret_cast<void**>(&env), &args) != JNI_OK || env == nullptr) {
    std::fprintf(stderr, "bare_jni_host: JNI_CreateJavaVM failed\n");
    return 4;
  }
  const LARGE_INTEGER created = Now();
  jclass mainClass = env->FindClass("se/quillon/varn/Varn");
  jmethodID mainMethod =
      mainClass == nullptr ? nullptr : env->GetStaticMethodID(mainClass, "main", "([Ljava/lang/String;)V");
  if (mainMethod == nullptr) {
    std::fprintf(stderr, "bare_jni_host: no main class or method\n");
    return 5;
  }
  const LARGE_INTEGER found = Now();
  env->CallStaticVoidMethod(mainClass, mainMethod, static_cast<jobject>(nullptr));
  const bool threw = env->ExceptionCheck();
  if (threw) env->ExceptionDescribe();
  const LARGE_INTEGER ran = Now();
  vm->DestroyJavaVM();
  const LARGE_INTEGER destroyed = Now();
  if (phases) {
    std::printf("load %.1f ms, create %.1f ms, find %.1f ms, main %.1f ms, destroy %.1f ms\n",
                Milliseconds(start, loaded), Milliseconds(loaded, created), Milliseconds(created, found),
                Milliseconds(found, ran), Milliseconds(ran, destroyed));
  }
  return threw ? 1 : 0;
}
