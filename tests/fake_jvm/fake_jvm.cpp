// A stand-in Java runtime (jvm.dll) for the launcher's tests. It records every option and every JNI
// call to a file and acts out the scenario written in app\bootloader.jar under the current directory,
// the class path a real runtime would resolve. Built with QMR_FAKE_JVM_RUNTIME_LIBRARY it imports the
// runtime C library stand-in, as a current runtime's jvm.dll imports the C library it ships. Any JNI
// function the launcher has no business calling ends the process with kForbiddenExit after recording
// which one it was.
#include <windows.h>

// Declares the invocation functions as exported rather than imported.
#define _JNI_IMPLEMENTATION_
#include <jni.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>

#ifdef QMR_FAKE_JVM_RUNTIME_LIBRARY
#include "runtime_library.h"
#endif

namespace {

constexpr UINT kForbiddenExit = 0xBADF00D;
constexpr char kMainClass[] = "se/quillon/varn/Varn";

std::string g_recordPath;
std::map<std::string, std::string> g_scenario;
std::map<std::string, std::string> g_properties;
bool g_classFound = false;
bool g_exceptionPending = false;
int g_classRef;  // addresses serve as opaque references
int g_methodRef;

// Kept open and flushed line by line: the record must be complete however the process ends, and
// reopening it for every line would weigh on the start-up benchmark.
void Record(const std::string& line) {
  static FILE* out = std::fopen(g_recordPath.c_str(), "ab");
  if (out == nullptr) return;
  std::fprintf(out, "%s\n", line.c_str());
  std::fflush(out);
}

std::string Scenario(const std::string& key, const std::string& fallback = "") {
  const auto found = g_scenario.find(key);
  return found == g_scenario.end() ? fallback : found->second;
}

void LoadScenario(const std::string& path) {
  FILE* in = std::fopen(path.c_str(), "rb");
  if (in == nullptr) return;
  char line[1024];
  while (std::fgets(line, sizeof line, in) != nullptr) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const size_t eq = text.find('=');
    if (text.empty() || text[0] == '#' || eq == std::string::npos) continue;
    g_scenario[text.substr(0, eq)] = text.substr(eq + 1);
  }
  std::fclose(in);
}

[[noreturn]] void Forbidden(const char* table, int slot) {
  char line[96];
  std::snprintf(line, sizeof line, "FORBIDDEN %s slot %d", table, slot);
  Record(line);
  std::fprintf(stderr, "fake jvm: %s\n", line);
  ExitProcess(kForbiddenExit);
}

// One distinct stub per slot, so the record names the slot that was called. The stub never returns,
// so its calling convention does not matter.
template <int Slot>
void JNICALL ForbiddenEnv() {
  Forbidden("JNIEnv", Slot);
}
template <int Slot>
void JNICALL ForbiddenVm() {
  Forbidden("JavaVM", Slot);
}

template <typename Table, size_t... Slots>
void FillForbidden(Table* table, bool env, std::index_sequence<Slots...>) {
  void** slots = reinterpret_cast<void**>(table);
  ((slots[Slots] = env ? reinterpret_cast<void*>(&ForbiddenEnv<Slots>) : reinterpret_cast<void*>(&ForbiddenVm<Slots>)),
   ...);
}

[[noreturn]] void EndProcess(UINT code) {
  char line[64];
  std::snprintf(line, sizeof line, "exit %lu", static_cast<unsigned long>(code));
  Record(line);
  ExitProcess(code);
}

// The runtime's directory (jre\bin), one above this DLL's (jre\bin\server).
std::wstring RuntimeBinDirectory() {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&RuntimeBinDirectory), &self);
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(self, path, MAX_PATH);
  std::wstring dir(path);
  dir.resize(dir.find_last_of(L'\\'));
  return dir.substr(0, dir.find_last_of(L'\\') + 1);
}

// Loads one of the runtime's native libraries by full path, as the runtime does while main runs, and
// records which copy of the C library it imports got loaded.
void LoadNative(const std::string& name) {
  const std::wstring path = RuntimeBinDirectory() + std::wstring(name.begin(), name.end());
  const HMODULE native = LoadLibraryW(path.c_str());
  if (native == nullptr) {
    Record("native " + name + " failed " + std::to_string(GetLastError()));
    return;
  }
  using Function = const char* (*)();
  const auto library =
      reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(native, "qmr_native_runtime_library")));
  Record("native " + name + " loaded, its runtime library " + (library != nullptr ? library() : "unknown"));
}

void RunMain(jobjectArray args) {
  Record(std::string("main args=") + (args == nullptr ? "null" : "array"));
  for (const auto& [name, value] : g_properties) Record("property " + name + "=" + value);
  if (!Scenario("signal").empty()) {
    HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, Scenario("signal").c_str());
    if (event != nullptr) {
      SetEvent(event);
      CloseHandle(event);
    }
  }
  if (!Scenario("sleep").empty()) Sleep(std::strtoul(Scenario("sleep").c_str(), nullptr, 10));
  const std::string source = Scenario("copy-to-pending");
  if (!source.empty()) {
    const std::string target = g_properties["qmr.pending"];
    const bool copied = CopyFileA(source.c_str(), target.c_str(), FALSE) != FALSE;
    Record("copy-to-pending " + target + (copied ? " ok" : " failed"));
  }
  const std::string native = Scenario("load-native");
  if (!native.empty()) LoadNative(native);
  const std::string action = Scenario("main", "return");
  if (action.rfind("exit:", 0) == 0) EndProcess(std::strtoul(action.c_str() + 5, nullptr, 10));
  if (action == "throw" || (action == "args-length" && args == nullptr)) {
    Record("main throws");
    g_exceptionPending = true;
  }
}

// JNIEnv functions the launcher may call.
jclass JNICALL FindClass(JNIEnv*, const char* name) {
  Record(std::string("FindClass ") + name);
  if (g_classFound && std::strcmp(name, kMainClass) == 0) return reinterpret_cast<jclass>(&g_classRef);
  g_exceptionPending = true;  // NoClassDefFoundError, as a real runtime raises it
  return nullptr;
}

jmethodID JNICALL GetStaticMethodID(JNIEnv*, jclass cls, const char* name, const char* signature) {
  Record(std::string("GetStaticMethodID ") + name + " " + signature);
  const std::string wanted = Scenario("method") == "other" ? "()V" : "([Ljava/lang/String;)V";
  if (cls == reinterpret_cast<jclass>(&g_classRef) && std::strcmp(name, "main") == 0 && wanted == signature) {
    return reinterpret_cast<jmethodID>(&g_methodRef);
  }
  g_exceptionPending = true;  // NoSuchMethodError
  return nullptr;
}

void JNICALL CallStaticVoidMethod(JNIEnv*, jclass cls, jmethodID method, ...) {
  va_list args;
  va_start(args, method);
  jobject first = va_arg(args, jobject);
  va_end(args);
  Record("CallStaticVoidMethod");
  if (cls != reinterpret_cast<jclass>(&g_classRef) || method != reinterpret_cast<jmethodID>(&g_methodRef)) {
    Record("CallStaticVoidMethod with a foreign class or method");
    ExitProcess(kForbiddenExit);
  }
  RunMain(static_cast<jobjectArray>(first));
}

jboolean JNICALL ExceptionCheck(JNIEnv*) {
  Record("ExceptionCheck");
  return g_exceptionPending ? JNI_TRUE : JNI_FALSE;
}

void JNICALL ExceptionDescribe(JNIEnv*) {
  Record("ExceptionDescribe");
  std::fprintf(stderr, "Exception in thread \"main\" java.lang.RuntimeException: scenario\n");
}

void JNICALL ExceptionClear(JNIEnv*) {
  Record("ExceptionClear");
  g_exceptionPending = false;
}

jint JNICALL UnregisterNatives(JNIEnv*, jclass) {
  Record("UnregisterNatives");
  return JNI_OK;
}

jint JNICALL DestroyJavaVM(JavaVM*) {
  Record("DestroyJavaVM");
  return JNI_OK;
}

JNINativeInterface_ g_envTable;
JNIInvokeInterface_ g_vmTable;
JNIEnv g_env;
JavaVM g_vm;

std::string CurrentDirectory() {
  char dir[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, dir);
  return dir;
}

}  // namespace

extern "C" JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** vm, void** env, void* rawArgs) {
  char recordPath[MAX_PATH] = {};
  g_recordPath = GetEnvironmentVariableA("FAKE_JVM_RECORD", recordPath, MAX_PATH)
                     ? recordPath
                     : CurrentDirectory() + "\\fake-jvm-record.txt";
  const auto* args = static_cast<JavaVMInitArgs*>(rawArgs);
  char line[128];
  std::snprintf(line, sizeof line, "JNI_CreateJavaVM version=0x%lx nOptions=%ld ignoreUnrecognized=%d",
                static_cast<unsigned long>(args->version), static_cast<long>(args->nOptions), args->ignoreUnrecognized);
  Record(line);
#ifdef QMR_FAKE_JVM_RUNTIME_LIBRARY
  Record(std::string("runtime library ") + qmr_runtime_library_path());
#endif
  std::string classPath;
  for (jint i = 0; i < args->nOptions; ++i) {
    const std::string option = args->options[i].optionString;
    Record("option " + option);
    if (option.rfind("-D", 0) == 0) {
      const size_t eq = option.find('=');
      const std::string name = option.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
      g_properties[name] = eq == std::string::npos ? "" : option.substr(eq + 1);
      if (name == "java.class.path") classPath = g_properties[name];
    }
  }
  // A relative class path resolves against the current directory, as in a real runtime.
  if (!classPath.empty()) {
    const bool absolute = classPath.size() > 1 && (classPath[1] == ':' || classPath[0] == '\\');
    const std::string jar = absolute ? classPath : CurrentDirectory() + "\\" + classPath;
    g_classFound = GetFileAttributesA(jar.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (g_classFound) LoadScenario(jar);
  }
  const jint result = std::atoi(Scenario("create", "0").c_str());
  if (result != JNI_OK) {
    std::snprintf(line, sizeof line, "JNI_CreateJavaVM returns %ld", static_cast<long>(result));
    Record(line);
    return result;  // nothing is delivered
  }
  FillForbidden(&g_envTable, true, std::make_index_sequence<sizeof(JNINativeInterface_) / sizeof(void*)>());
  FillForbidden(&g_vmTable, false, std::make_index_sequence<sizeof(JNIInvokeInterface_) / sizeof(void*)>());
  g_envTable.FindClass = FindClass;
  g_envTable.GetStaticMethodID = GetStaticMethodID;
  g_envTable.CallStaticVoidMethod = CallStaticVoidMethod;
  g_envTable.ExceptionCheck = ExceptionCheck;
  g_envTable.ExceptionDescribe = ExceptionDescribe;
  g_envTable.ExceptionClear = ExceptionClear;
  g_envTable.UnregisterNatives = UnregisterNatives;
  g_vmTable.DestroyJavaVM = DestroyJavaVM;
  g_env.functions = &g_envTable;
  g_vm.functions = &g_vmTable;
  *vm = &g_vm;
  *env = &g_env;
  return JNI_OK;
}
