#pragma once

// A translation library loaded into the test process, as the program loads
// one, for the tests that call a library's entry points themselves.

#include <string>

namespace xlate {

class TLoadedLibrary {
 public:
  explicit TLoadedLibrary(const std::string& aPath);
  ~TLoadedLibrary();
  TLoadedLibrary(const TLoadedLibrary&) = delete;
  TLoadedLibrary& operator=(const TLoadedLibrary&) = delete;

  bool Loaded() const { return FHandle != nullptr; }
  // The exported function aName, or nullptr.
  template <typename TFunction>
  TFunction Function(const char* aName) const {
    return reinterpret_cast<TFunction>(Address(aName));
  }

 private:
  void (*Address(const char* aName) const)();

  void* FHandle;
};

}  // namespace xlate
