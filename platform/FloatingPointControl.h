#pragma once

// The floating-point settings a library call runs with: invalid operation,
// division by zero and overflow trap. 64-bit x86 does its floating point in
// SSE, so there the MXCSR alone is set (loading the x87 control word costs
// more than the rest of a call); 32-bit code sets the x87 control word to
// 0x1332, and the MXCSR to match where it is built for SSE. Compiler
// intrinsics only.

#if defined(__SSE__)
#include <xmmintrin.h>
#define XLATE_HAS_MXCSR 1
#endif

namespace xlate {

struct FloatingPointState {
#if defined(XLATE_HAS_MXCSR)
  unsigned mxcsr;
#endif
#if defined(__i386__)
  unsigned short x87;
#endif
};

constexpr unsigned kMxcsrFlags = 0x3F;
constexpr unsigned kMxcsrTrapped = 0x80 | 0x200 | 0x400;  // invalid, zero divide, overflow masks
constexpr unsigned short kLibraryX87ControlWord = 0x1332;

inline FloatingPointState EnterLibraryFloatingPoint() {
  FloatingPointState saved{};
#if defined(XLATE_HAS_MXCSR)
  saved.mxcsr = _mm_getcsr();
  _mm_setcsr(saved.mxcsr & ~(kMxcsrFlags | kMxcsrTrapped));
#endif
#if defined(__i386__)
  __asm__ volatile("fnstcw %0" : "=m"(saved.x87));
  unsigned short word = kLibraryX87ControlWord;
  __asm__ volatile("fnclex\n\tfldcw %0" : : "m"(word));
#endif
  return saved;
}

// The x87 unit reports a trap at its next instruction, so one that the
// library's last operation raised would otherwise go unseen: this makes it
// happen while the call is still guarded.
inline void RaisePendingFloatingPointTraps() {
#if defined(__i386__)
  __asm__ volatile("fwait");
#endif
}

// Puts the caller's settings back, also after a trap left flags pending.
inline void LeaveLibraryFloatingPoint(const FloatingPointState& aSaved) {
#if defined(__i386__)
  unsigned short word = aSaved.x87;
  __asm__ volatile("fnclex\n\tfldcw %0" : : "m"(word));
#endif
#if defined(XLATE_HAS_MXCSR)
  _mm_setcsr(aSaved.mxcsr);
#endif
  (void)aSaved;
}

}  // namespace xlate
