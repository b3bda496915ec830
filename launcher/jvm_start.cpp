#include <jni.h>
#include <windows.h>

#include <cstring>

#include "bounded_text.h"
#include "launcher_log.h"
#include "pe_machine.h"
#include "stage_files.h"
#include "system_functions.h"
#include "system_paths.h"
#include "unique_handle.h"

namespace launcher {

namespace {

constexpr size_t kPathOptionCapacity = 520;
constexpr size_t kBrandingOptionCapacity = 80;
constexpr char kRelativeJvmPath[] = "jre\\bin\\server\\jvm.dll";

using CreateJavaVmFunction = jint(JNICALL*)(JavaVM**, void**, void*);

void CopyPath(char (&target)[kPathCapacity], const char* source) {
  target[0] = '\0';
  AppendBounded(target, kPathCapacity, source);
}

}  // namespace

// A runtime's DLLs import the C library it ships in jre\bin (msvcr100.dll, msvcr120.dll, vcruntime140.dll
// and the rest, depending on its build), but the loader never looks there for imports, not even for a DLL
// loaded by full path. Made part of the search for the process's whole life, since the runtime loads
// its native libraries long after start-up; it also takes the working directory out of the search.
// SetDefaultDllDirectories is not used: it makes LOAD_WITH_ALTERED_SEARCH_PATH fail, which is how Java
// applications load their native libraries.
void LauncherLog::AddRuntimeToDllSearch(const char* programDir) {
  char binDir[kPathCapacity] = {};
  wchar_t wideBinDir[kPathCapacity] = {};
  if (FormatStrict(binDir, sizeof binDir, "%s\\jre\\bin", programDir) < 0) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
  }
  if (binDir[0] == '\0' ||
      MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, binDir, -1, wideBinDir, kPathCapacity) == 0 ||
      !SetDllDirectoryW(wideBinDir)) {
    WriteLog("WARN", "Failed to add the Java runtime's folder to the DLL search:");
    WriteLog("WARN", binDir);
    LogLastError("WARN");
  }
}

HMODULE LauncherLog::LoadJvmLibrary(char (&attemptedPath)[kPathCapacity]) {
  char programPath[kPathCapacity] = {};
  if (GetProgramPath(programPath, kPathCapacity) == 0) {
    WriteLog("ERROR", "Failed to get module filename:");
    WriteLog("ERROR", programPath);
  }
  char original[kPathCapacity];
  CopyPath(original, programPath);
  if (!RemoveFileSpec(programPath)) {
    WriteLog("WARN", "Failed to strip file name from path:");
    WriteLog("WARN", original);
    WriteLog("INFO", "Loading jvm.dll using relative path");
    CopyPath(attemptedPath, kRelativeJvmPath);
    return LoadLibraryA(kRelativeJvmPath);
  }

  AddRuntimeToDllSearch(programPath);
  // A path that does not fit comes out empty and its load fails like any other.
  char libraryPath[kPathCapacity] = {};
  FormatStrict(libraryPath, sizeof libraryPath, "%s\\jre\\bin\\msvcr100.dll", programPath);
  WriteLog("INFO", "Loading msvcr:");
  WriteLog("INFO", libraryPath);
  if (LoadLibraryA(libraryPath) == nullptr) WriteLog("ERROR", "Unable to load msvcr100");

  FormatStrict(libraryPath, sizeof libraryPath, "%s\\jre\\bin\\server\\jvm.dll", programPath);
  WriteLog("INFO", "Loading JVM:");
  WriteLog("INFO", libraryPath);
  CopyPath(attemptedPath, libraryPath);
  return LoadLibraryA(libraryPath);
}

void LauncherLog::ReportForeignRuntime(const char* jvmPath) {
  UniqueFile file(CreateFileA(jvmPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return;
  unsigned char header[4096];
  DWORD read = 0;
  if (!ReadFile(file.get(), header, sizeof header, &read, nullptr)) return;
  const PeImageInfo image = ParsePeHeader(header, read);
  if (!image.isPe || !image.isDll || image.machine == kOwnMachine) return;
  char runtime[64];
  char own[64];
  DescribeMachine(image.machine, runtime, sizeof runtime);
  DescribeMachine(kOwnMachine, own, sizeof own);
  char line[kPathCapacity + 160];
  FormatBounded(line, sizeof line, "The Java runtime is a DLL for %s, but this launcher is %s: %s", runtime, own,
                jvmPath);
  WriteLog("ERROR", line);
}

void LauncherLog::LaunchJvm(const char* pendingPath, const char* branding, const char* logoPath) {
  WriteLog("INFO", "Launching JVM");
  char classPathOption[] = "-Djava.class.path=app\\bootloader.jar";
  char msiOption[] = "-Dqmr.msi=true";
  char pendingOption[kPathOptionCapacity];
  char brandingOption[kBrandingOptionCapacity];
  char logoOption[kPathOptionCapacity];
  if (FormatBounded(pendingOption, sizeof pendingOption, "-Dqmr.pending=%s", pendingPath) < 0) {
    WriteLog("ERROR", "Failed to assemble JVM option");
  }
  if (FormatBounded(brandingOption, sizeof brandingOption, "%s%s", "-Dqmr.branding=", branding) < 0) {
    WriteLog("ERROR", "Failed to assemble branding option");
  }
  if (FormatBounded(logoOption, sizeof logoOption, "-Dqmr.logofile=%s", logoPath) < 0) {
    WriteLog("ERROR", "Failed to assemble JVM option");
  }

  char jvmPath[kPathCapacity] = {};
  HMODULE jvmLibrary = LoadJvmLibrary(jvmPath);
  if (jvmLibrary == nullptr) {
    LogLastError();
    ReportForeignRuntime(jvmPath);
    AlertAndExit("Failed to start application (100)");
  }
  const auto createJavaVm = ResolveFunction<CreateJavaVmFunction>(jvmLibrary, "JNI_CreateJavaVM");
  if (createJavaVm == nullptr) {
    WriteLog("ERROR", "GetProcAddress JNI_CreateJavaVM failed");
    AlertAndExit("Failed to start application (200)");
  }

  JavaVM* vm = nullptr;
  JNIEnv* env = nullptr;
  jint created;
  {
    JavaVMOption options[5] = {};
    options[0].optionString = classPathOption;
    options[1].optionString = msiOption;
    options[2].optionString = pendingOption;
    options[3].optionString = brandingOption;
    options[4].optionString = logoOption;
    JavaVMInitArgs args = {};
    args.version = JNI_VERSION_1_8;
    args.nOptions = 5;
    args.options = options;
    args.ignoreUnrecognized = JNI_FALSE;
    created = createJavaVm(&vm, reinterpret_cast<void**>(&env), &args);
  }
  // A failed creation delivers no usable environment: nothing below may touch it.
  if (created != JNI_OK || env == nullptr || vm == nullptr) {
    char line[64];
    FormatBounded(line, sizeof line, "JNI_CreateJavaVM failed (%ld)", static_cast<long>(created));
    WriteLog("ERROR", line);
    AlertAndExit("Failed to start application (250)");
  }

  const JNINativeInterface_* jni = env->functions;
  jclass mainClass = jni->FindClass(env, kMainClass);
  if (mainClass == nullptr) {
    WriteLog("ERROR", "Unable to locate main class");
    AlertAndExit("Failed to start application (300)");
  }
  jmethodID mainMethod = jni->GetStaticMethodID(env, mainClass, "main", "([Ljava/lang/String;)V");
  if (mainMethod == nullptr) {
    WriteLog("ERROR", "Unable to locate main method");
    AlertAndExit("Failed to start application (400)");
  }
  // main gets a null reference, not an empty array.
  jni->CallStaticVoidMethod(env, mainClass, mainMethod, static_cast<jobject>(nullptr));
  if (jni->ExceptionCheck(env)) {
    WriteLog("ERROR", "Handling JVM exception and terminating");
    jni->ExceptionDescribe(env);
    jni->ExceptionClear(env);
    ExitProcess(1);
  }
  jni->UnregisterNatives(env, mainClass);
  vm->functions->DestroyJavaVM(vm);
  FreeLibrary(jvmLibrary);
}

}  // namespace launcher
