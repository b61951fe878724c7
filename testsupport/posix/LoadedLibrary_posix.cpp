#include <dlfcn.h>

#include "testsupport/LoadedLibrary.h"

namespace xlate {

TLoadedLibrary::TLoadedLibrary(const std::string& aPath)
    : FHandle(dlopen(aPath.c_str(), RTLD_NOW | RTLD_LOCAL)) {}

TLoadedLibrary::~TLoadedLibrary() {
  if (FHandle != nullptr) dlclose(FHandle);
}

void (*TLoadedLibrary::Address(const char* aName) const)() {
  return reinterpret_cast<void (*)()>(dlsym(FHandle, aName));
}

}  // namespace xlate
