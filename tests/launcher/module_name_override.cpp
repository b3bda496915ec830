#include "module_name_override.h"

#include <gtest/gtest.h>

namespace launcher_tests {

ModuleNameOverride::ModuleNameOverride(std::wstring name) : name_(std::move(name)) {
  const HMODULE self = GetModuleHandleW(nullptr);
  PROCESS_BASIC_INFORMATION process = {};
  if (!NT_SUCCESS(
          NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &process, sizeof process, nullptr))) {
    ADD_FAILURE() << "the test program's own process information is not available";
    return;
  }
  LIST_ENTRY* const head = &process.PebBaseAddress->Ldr->InMemoryOrderModuleList;
  for (LIST_ENTRY* link = head->Flink; link != head; link = link->Flink) {
    auto* const module = CONTAINING_RECORD(link, LDR_DATA_TABLE_ENTRY, InMemoryOrderLinks);
    if (module->DllBase != self) continue;
    entry_ = &module->FullDllName;
    saved_ = *entry_;
    entry_->Buffer = name_.data();
    entry_->Length = static_cast<USHORT>(name_.size() * sizeof(wchar_t));
    entry_->MaximumLength = static_cast<USHORT>(entry_->Length + sizeof(wchar_t));
    return;
  }
  ADD_FAILURE() << "the test program's own module is not in the loader's list";
}

ModuleNameOverride::~ModuleNameOverride() {
  if (entry_ != nullptr) *entry_ = saved_;
}

}  // namespace launcher_tests
