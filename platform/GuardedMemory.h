#pragma once

// Memory for the results a library writes: its end is followed by a page
// that may be neither read nor written, so that a library writing past the
// size it was given faults on the first byte past it (inside a guarded
// call, a fault reported like any other) instead of overwriting what lies
// after it.

#include <cstddef>

namespace xlate {

class TGuardedMemory {
 public:
  TGuardedMemory() = default;
  ~TGuardedMemory() { Release(); }
  TGuardedMemory(const TGuardedMemory&) = delete;
  TGuardedMemory& operator=(const TGuardedMemory&) = delete;

  // Makes room for at least aSize bytes, in new memory (all zeros) unless
  // there is room already; false, holding nothing, when the memory cannot
  // be had.
  bool Reserve(std::size_t aSize);
  // Gives the memory back.
  void Release();
  // How many bytes there is room for: aSize rounded up to whole pages.
  std::size_t Capacity() const { return FCapacity; }
  // The last aSize bytes of the room (aSize <= Capacity()): they end where
  // the guard page begins.
  char* Last(std::size_t aSize) const { return FEnd - aSize; }

 private:
  void* FBase = nullptr;
  std::size_t FMapped = 0;  // the room and the guard page
  std::size_t FCapacity = 0;
  char* FEnd = nullptr;
};

}  // namespace xlate
