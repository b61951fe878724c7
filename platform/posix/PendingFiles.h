#pragma once

#include <signal.h>

namespace xlate {

// Temporary files that must not outlive the process. When a signal whose
// default action ends the process arrives (SIGINT, SIGTERM, SIGHUP and the
// like), the files registered here are removed, and the signal then ends
// the process as it would have, with the same wait status. A signal that
// was ignored when the process started stays ignored. SIGKILL cannot be
// caught, and leaves the files behind.
class TPendingFiles {
 public:
  // Keeps those signals waiting while it lives, so that a file is never
  // created or renamed without being registered.
  class THeld {
   public:
    THeld();
    ~THeld();
    THeld(const THeld&) = delete;
    THeld& operator=(const THeld&) = delete;

   private:
    sigset_t FPrevious;
  };

  // aPath must stay valid until Forget. False when no slot is free; the file
  // is then removed only by its owner.
  static bool Register(const char* aPath);
  static void Forget(const char* aPath);
};

}  // namespace xlate
