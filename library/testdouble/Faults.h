#pragma once

namespace zta_double {

// Raises the processor fault named by aKind: read, write, stack, intdiv,
// intovf, fltinv, fltdiv, x87div (in long double), fltovf, fltund, inexact,
// illegal, privileged.
// Returns false for a name it does not know or a fault this processor
// cannot raise.
bool RaiseFault(const char* aKind);

}  // namespace zta_double
