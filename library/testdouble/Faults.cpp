#include "library/testdouble/Faults.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace zta_double {

namespace {

volatile int gIntZero = 0;
volatile int gIntSeven = 7;
volatile double gZero = 0.0;
volatile double gHuge = 1e308;
volatile double gTiny = 1e-308;
volatile double gResult = 0.0;
volatile long double gLongZero = 0.0L;
volatile long double gLongResult = 0.0L;
volatile std::uintptr_t gReadAddress = 0x10;
volatile std::uintptr_t gWriteAddress = 0x20;
volatile int gNoDepth = -1;  // a depth never reached, so the recursion has an end in form

// Each frame holds a buffer the compiler cannot drop, so the recursion
// reaches the end of the stack quickly.
int Recurse(int aDepth) {
  if (aDepth == gNoDepth) return 0;
  volatile char frame[4096];
  frame[0] = static_cast<char>(aDepth);
  return Recurse(aDepth + 1) + frame[0];
}

// Lets a floating-point exception trap that the caller's settings mask.
void Unmask(unsigned aMxcsrMask, unsigned short aX87Mask) {
#if defined(__SSE__)
  _mm_setcsr(_mm_getcsr() & ~aMxcsrMask);
#else
  (void)aMxcsrMask;
#endif
#if defined(__x86_64__) || defined(__i386__)
  unsigned short word;
  __asm__ volatile("fnstcw %0" : "=m"(word));
  word = static_cast<unsigned short>(word & ~aX87Mask);
  __asm__ volatile("fldcw %0" : : "m"(word));
#else
  (void)aX87Mask;
#endif
}

}  // namespace

bool RaiseFault(const char* aKind) {
  auto is = [aKind](const char* aName) { return std::strcmp(aKind, aName) == 0; };
  if (is("read")) {
    gResult = *reinterpret_cast<volatile int*>(gReadAddress);
  } else if (is("write")) {
    *reinterpret_cast<volatile int*>(gWriteAddress) = 1;
  } else if (is("stack")) {
    gResult = Recurse(0);
  } else if (is("intdiv")) {
    // The integer division by zero is the fault asked for.
    gResult = gIntSeven / gIntZero;  // NOLINT(bugprone-integer-division)
    // On 64-bit x86 this branch returns false as an unknown name does, but
    // for another reason.
  } else if (is("intovf")) {  // NOLINT(bugprone-branch-clone)
#if defined(__i386__)
    // INTO traps when the overflow flag is set.
    __asm__ volatile("movl $0x7fffffff, %%eax\n\taddl $1, %%eax\n\tinto" : : : "eax", "cc");
#else
    return false;  // 64-bit x86 has no instruction that traps on overflow
#endif
  } else if (is("fltinv")) {
    gResult = gZero / gZero;
  } else if (is("fltdiv")) {
    gResult = 1.0 / gZero;
  } else if (is("x87div")) {
    // long double is done on the x87 unit, also in 64-bit code.
    gLongResult = 1.0L / gLongZero;
  } else if (is("fltovf")) {
    gResult = gHuge * gHuge;
  } else if (is("fltund")) {
    Unmask(0x800, 0x10);
    gResult = gTiny * gTiny;
  } else if (is("inexact")) {
    Unmask(0x1000, 0x20);
    gResult = 1.0 / (gZero + 3.0);
  } else if (is("illegal")) {
    __builtin_trap();
  } else if (is("privileged")) {
#if defined(__x86_64__) || defined(__i386__)
    __asm__ volatile("hlt");
#else
    return false;
#endif
  } else {
    return false;
  }
  return true;
}

}  // namespace zta_double
