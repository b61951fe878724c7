#pragma once

#include <memory>

#include "platform/FileSystem.h"
#include "platform/LibraryCallGuard.h"
#include "platform/LibraryLoader.h"
#include "platform/ProcessContext.h"
#include "platform/StandardStreams.h"
#include "platform/SystemText.h"

namespace xlate {

// Everything the program asks of the operating system, in its own terms,
// in parts by what callers need: loading the library, what the process was
// started with, the console, files, the system's text (code pages and
// failure messages), and the guard around library calls (faults and
// floating-point settings). The top of the program holds one platform and
// hands out its parts; a caller takes only the parts it uses. One
// implementation per platform; tests replace any part with a fake
// (testsupport/FakePlatform.h).
class TPlatform {
 public:
  virtual ~TPlatform() = default;

  virtual TLibraryLoader& Libraries() = 0;
  virtual TProcessContext& Process() = 0;
  virtual TStandardStreams& Streams() = 0;
  virtual TFileSystem& Files() = 0;
  virtual TSystemText& SystemText() = 0;
  // The process's one guard on every platform; a test may put its own.
  virtual TLibraryCallGuard& CallGuard() { return ProcessCallGuard(); }

  // The platform the program runs on, made from main's arguments (the
  // Windows build reads its own command line instead).
  static std::unique_ptr<TPlatform> Create(int argc, char** argv);
};

}  // namespace xlate
