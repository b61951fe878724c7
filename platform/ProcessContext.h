#pragma once

#include <functional>
#include <thread>
#include <utility>
#include <vector>

#include "common/Types.h"

namespace xlate {

// What the process was started with: its parameters, its own path and its
// environment, and how its parameter names compare.
class TProcessContext {
 public:
  virtual ~TProcessContext() = default;
  // The parameters after the program's name, and the program's own path.
  // Both keep every byte of a name, so that the name reaches the file
  // system again as it was given.
  virtual std::vector<Text> CommandLineParameters() = 0;
  virtual Text ProgramPath() = 0;
  // What a parameter's value reads as where it is text and not a file name:
  // where names carry bytes that the locale's coding cannot read, the text
  // that coding's conversion makes of them.
  virtual Text ArgumentAsText(const Text& aArgument) { return aArgument; }
  // The value of an environment variable; empty when it is not set.
  virtual Text EnvironmentValue(const Text& aName) = 0;
  // Equality ignoring case, as the user's locale sees it.
  virtual bool EqualIgnoreCase(const Text& aLeft, const Text& aRight) = 0;
  // Starts a thread of the program's own work. Signals sent to the
  // process do not stop at it: they reach the main thread, as they would
  // without it.
  virtual std::thread StartThread(std::function<void()> aWork) {
    return std::thread(std::move(aWork));
  }
};

}  // namespace xlate
