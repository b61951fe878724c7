#pragma once

#include <cstdint>

#include "common/ErrorCodes.h"
#include "common/Types.h"

namespace xlate {

using LibraryHandle = std::uintptr_t;

// Loading the translation library and finding its entry points. Every call
// that can fail returns kSuccess or its failure's code, whose text the
// system text part gives.
class TLibraryLoader {
 public:
  virtual ~TLibraryLoader() = default;
  virtual TErrorCode LoadLibrary(const Text& aFileName, LibraryHandle& vLibrary) = 0;
  virtual TErrorCode GetProcAddress(LibraryHandle aLibrary, const ByteString& aName,
                                    void*& vAddress) = 0;
  virtual TErrorCode FreeLibrary(LibraryHandle aLibrary) = 0;
  // The file name under which the translation library is loaded.
  virtual Text LibraryFileName() = 0;
  // The file a loaded library was loaded from; empty when the system cannot
  // tell.
  virtual Text LibraryPath(LibraryHandle aLibrary) = 0;
};

}  // namespace xlate
