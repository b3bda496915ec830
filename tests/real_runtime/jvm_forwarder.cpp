// jvm.dll of the test installations' real runtime: loads the Avian VM (avian.dll) beside it and hands
// JNI_CreateJavaVM on with one option more. Avian finds its built-in class library and native methods
// in its "bootstrap library", which defaults to the host program; here that is the Avian DLL itself.
#include <windows.h>

// Declares the invocation functions as exported rather than imported.
#define _JNI_IMPLEMENTATION_
#include <jni.h>

#include <string>
#include <vector>

#ifdef QMR_FORWARDER_RUNTIME_LIBRARY
// A current runtime's jvm.dll imports the C library it ships beside it; this one does too.
#include "runtime_library.h"
#endif

namespace {

using CreateJavaVmFunction = jint(JNICALL*)(JavaVM**, void**, void*);

std::wstring OwnDirectory() {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&OwnDirectory), &self);
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return L"";
    if (length < path.size()) break;
    path.resize(path.size() * 2);
  }
  std::wstring dir(path.data());
  return dir.substr(0, dir.find_last_of(L'\\') + 1);
}

// Avian reads the option's path as UTF-8, so a path the ANSI code page cannot spell still works.
std::string Utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return "";
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], size, nullptr, nullptr);
  out.resize(static_cast<size_t>(size) - 1);
  return out;
}

}  // namespace

extern "C" JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** vm, void** env, void* rawArgs) try {
#ifdef QMR_FORWARDER_RUNTIME_LIBRARY
  if (qmr_runtime_library_path()[0] == '\0') return JNI_ERR;
#endif
  const std::wstring avianPath = OwnDirectory() + L"avian.dll";
  // Never released: the VM's threads and class library live in it until the process ends.
  const HMODULE avian = LoadLibraryW(avianPath.c_str());
  if (avian == nullptr) return JNI_ERR;
  const auto create =
      reinterpret_cast<CreateJavaVmFunction>(reinterpret_cast<void*>(GetProcAddress(avian, "JNI_CreateJavaVM")));
  if (create == nullptr) return JNI_ERR;

  // Avian keeps pointers to the option texts for the VM's whole life.
  static const std::string bootstrapOption = "-Davian.bootstrap=" + Utf8(avianPath);
  const auto* args = static_cast<const JavaVMInitArgs*>(rawArgs);
  std::vector<JavaVMOption> options(args->options, args->options + args->nOptions);
  JavaVMOption bootstrap = {};
  bootstrap.optionString = const_cast<char*>(bootstrapOption.c_str());
  options.push_back(bootstrap);
  JavaVMInitArgs forwarded = *args;
  forwarded.nOptions = static_cast<jint>(options.size());
  forwarded.options = options.data();
  return create(vm, env, &forwarded);
} catch (...) {
  return JNI_ENOMEM;  // no C++ exception may reach the caller
}
