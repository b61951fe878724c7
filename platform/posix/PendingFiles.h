#pragma once

#include <signal.h>

namespace xlate {

// Named temporary files that must not outlive the process, for the file
// systems where a new file cannot be made without a name (PosixFile.cpp).
// When a signal whose default action ends the process arrives, or the
// process calls exit(), the files registered here are removed; a signal
// then ends the process as it would have, with the same wait status. A
// signal that was ignored when the process started stays ignored. What
// cannot be caught leaves the files behind: SIGKILL, _exit(), and a fault
// outside the fault guard (SIGSEGV, SIGBUS, SIGFPE, SIGILL belong to it).
class TPendingFiles {
 public:
  // Keeps the signals that arrive from outside waiting while it lives, so
  // that a file is never created, linked or renamed without being
  // registered or in its place.
  class THeld {
   public:
    THeld();
    ~THeld();
    THeld(const THeld&) = delete;
    THeld& operator=(const THeld&) = delete;

   private:
    sigset_t FPrevious;
  };

  // A file to remove: its name in an open folder, so that a change of the
  // current folder cannot lead the removal elsewhere.
  struct TEntry {
    int Folder;
    const char* Leaf;
  };

  // aEntry must stay valid until Forget. False when no slot is free; the
  // file is then removed only by its owner.
  static bool Register(const TEntry* aEntry);
  static void Forget(const TEntry* aEntry);
};

}  // namespace xlate
