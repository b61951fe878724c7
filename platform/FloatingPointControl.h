#pragma once

// The floating-point settings a library call runs with: invalid operation,
// division by zero and overflow trap. On x86 the x87 control word is set to
// 0x1332 and the MXCSR to match where there is SSE: 64-bit code does its
// double arithmetic in SSE, but a library's long double (and any 32-bit
// code) still runs on the x87 unit. Compiler intrinsics only.

#if defined(__SSE__)
#include <xmmintrin.h>
#define XLATE_HAS_MXCSR 1
#endif

namespace xlate {

struct TFloatingPointState {
#if defined(XLATE_HAS_MXCSR)
  unsigned Mxcsr;
#endif
#if defined(__i386__) || defined(__x86_64__)
  unsigned short X87;
#endif
  bool InRun;  // inside a TLibraryCallRun, which keeps the library's settings
};

constexpr unsigned kMxcsrFlags = 0x3F;
constexpr unsigned kMxcsrPrecisionFlag = 0x20;
constexpr unsigned kMxcsrTrapped = 0x80 | 0x200 | 0x400;  // invalid, zero divide, overflow masks
constexpr unsigned short kLibraryX87ControlWord = 0x1332;
constexpr unsigned short kX87TrappedFlags = 0x01 | 0x04 | 0x08;  // invalid, zero divide, overflow

// The open TLibraryCallRun, if any: how deep, and the MXCSR it set.
struct TLibraryCallRunState {
  int Depth = 0;
  unsigned Mxcsr = 0;
};
inline TLibraryCallRunState& CurrentLibraryCallRun() {
  static TLibraryCallRunState run;
  return run;
}

// Inside a TLibraryCallRun: makes the library's settings hold again where a
// fault, or the library itself, changed them. Reading them is cheap, and
// writing them is done only when they differ.
inline void KeepLibraryFloatingPoint() {
#if defined(XLATE_HAS_MXCSR)
  // The precision flag is raised by most arithmetic and never traps; any
  // other flag left by a fault is cleared, as a system may name a later
  // fault after it.
  const unsigned mxcsr = _mm_getcsr();
  const unsigned wanted = CurrentLibraryCallRun().Mxcsr;
  if ((mxcsr & ~kMxcsrPrecisionFlag) != wanted) _mm_setcsr(wanted);
#endif
#if defined(__i386__) || defined(__x86_64__)
  unsigned short word = 0, status = 0;
  __asm__ volatile("fnstcw %0\n\tfnstsw %1" : "=m"(word), "=m"(status));
  if (word != kLibraryX87ControlWord || (status & kX87TrappedFlags) != 0) {
    word = kLibraryX87ControlWord;
    __asm__ volatile("fnclex\n\tfldcw %0" : : "m"(word));
  }
#endif
}

inline TFloatingPointState EnterLibraryFloatingPoint() {
  TFloatingPointState saved{};
  if (CurrentLibraryCallRun().Depth > 0) {
    saved.InRun = true;
    return saved;
  }
#if defined(XLATE_HAS_MXCSR)
  saved.Mxcsr = _mm_getcsr();
  _mm_setcsr(saved.Mxcsr & ~(kMxcsrFlags | kMxcsrTrapped));
#endif
#if defined(__i386__) || defined(__x86_64__)
  __asm__ volatile("fnstcw %0" : "=m"(saved.X87));
  unsigned short word = kLibraryX87ControlWord;
  __asm__ volatile("fnclex\n\tfldcw %0" : : "m"(word));
#endif
  return saved;
}

// The x87 unit reports a trap at its next instruction, so one that the
// library's last operation raised would otherwise go unseen: this makes it
// happen while the call is still guarded.
inline void RaisePendingFloatingPointTraps() {
#if defined(__i386__) || defined(__x86_64__)
  __asm__ volatile("fwait");
#endif
}

// Puts the caller's settings back, also after a trap left flags pending.
inline void LeaveLibraryFloatingPoint(const TFloatingPointState& aSaved) {
  if (aSaved.InRun) {
    KeepLibraryFloatingPoint();
    return;
  }
#if defined(__i386__) || defined(__x86_64__)
  unsigned short word = aSaved.X87;
  __asm__ volatile("fnclex\n\tfldcw %0" : : "m"(word));
#endif
#if defined(XLATE_HAS_MXCSR)
  _mm_setcsr(aSaved.Mxcsr);
#endif
  (void)aSaved;
}

// The floating-point side of a run of library calls (TLibraryCallRun):
// Begin sets the library's settings at the outermost run, End gives the
// caller's back when that run ends. Only where the caller's code between
// the calls has no use for the x87 unit (64-bit x86); elsewhere a run
// changes nothing.
class TFloatingPointRun {
 public:
  void Begin() {
#if defined(__x86_64__)
    TLibraryCallRunState& run = CurrentLibraryCallRun();
    if (run.Depth == 0) {
      FSaved = EnterLibraryFloatingPoint();
#if defined(XLATE_HAS_MXCSR)
      run.Mxcsr = _mm_getcsr() & ~kMxcsrFlags;
#endif
    }
    ++run.Depth;
#endif
  }
  void End() {
#if defined(__x86_64__)
    if (--CurrentLibraryCallRun().Depth == 0) LeaveLibraryFloatingPoint(FSaved);
#endif
  }

#if defined(__x86_64__)
 private:
  TFloatingPointState FSaved{};
#endif
};

}  // namespace xlate
