#include <windows.h>

#include "testsupport/LoadedLibrary.h"

namespace xlate {

TLoadedLibrary::TLoadedLibrary(const std::string& aPath)
    : FHandle(reinterpret_cast<void*>(LoadLibraryA(aPath.c_str()))) {}

TLoadedLibrary::~TLoadedLibrary() {
  if (FHandle != nullptr) FreeLibrary(static_cast<HMODULE>(FHandle));
}

void (*TLoadedLibrary::Address(const char* aName) const)() {
  return reinterpret_cast<void (*)()>(GetProcAddress(static_cast<HMODULE>(FHandle), aName));
}

}  // namespace xlate
