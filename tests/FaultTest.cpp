#include <gtest/gtest.h>

#include <csignal>
#include <new>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "common/Exception.h"
#include "library/testdouble/DoubleCore.h"
#include "library/testdouble/Faults.h"
#include "platform/FaultGuard.h"
#include "platform/LibraryCallGuard.h"
#if !defined(_WIN32)
#include "platform/posix/SignalFault.h"
#endif
#include "service/jxDLLInterface.h"
#include "testsupport/ExceptionMessage.h"
#include "testsupport/FakePlatform.h"

namespace xlate {
namespace {

TEST(FaultMessage, NamesEveryKindOfFault) {
  TFaultInfo fault;
  fault.Kind = TFaultInfo::fkAccessViolation;
  fault.CodeAddress = 0x1234;
  fault.DataAddress = 0x10;
  fault.Module = u"libjxZTAccess.so";
  const Text code = AddressToHex(0x1234), data = AddressToHex(0x10);
  EXPECT_EQ(FaultMessage(fault), u"Access violation at address " + code +
                                     u" in module 'libjxZTAccess.so'. Read of address " + data);
  fault.Write = true;
  fault.Module.clear();
  EXPECT_EQ(FaultMessage(fault),
            u"Access violation at address " + code + u". Write of address " + data);
  EXPECT_EQ(code.size(), sizeof(void*) * 2);

  const std::pair<TFaultInfo::TKind, const char16_t*> kinds[] = {
      {TFaultInfo::fkStackOverflow, u"Stack overflow"},
      {TFaultInfo::fkIntegerDivisionByZero, u"Division by zero"},
      {TFaultInfo::fkIntegerOverflow, u"Integer overflow"},
      {TFaultInfo::fkInvalidFloatingPoint, u"Invalid floating point operation"},
      {TFaultInfo::fkFloatingPointDivisionByZero, u"Floating point division by zero"},
      {TFaultInfo::fkFloatingPointOverflow, u"Floating point overflow"},
      {TFaultInfo::fkFloatingPointUnderflow, u"Floating point underflow"},
      {TFaultInfo::fkPrivilegedInstruction, u"Privileged instruction"},
  };
  for (const auto& [kind, message] : kinds) {
    TFaultInfo f;
    f.Kind = kind;
    EXPECT_EQ(FaultMessage(f), message);
  }
  TFaultInfo other;
  other.Code = 0xC000001D;
  EXPECT_EQ(FaultMessage(other), u"External exception C000001D");
}

#if !defined(_WIN32)
TEST(ClassifySignal, ReadsTheSignalAndItsCode) {
  TSignalFacts facts;
  facts.Signal = SIGFPE;
  facts.Code = 2;  // FPE_INTOVF, which 64-bit x86 cannot raise by itself
  EXPECT_EQ(ClassifySignal(facts).Kind, TFaultInfo::fkIntegerOverflow);
  facts.Code = 1;
  EXPECT_EQ(ClassifySignal(facts).Kind, TFaultInfo::fkIntegerDivisionByZero);
  facts.Signal = SIGILL;
  facts.Code = 5;  // ILL_PRVOPC
  EXPECT_EQ(ClassifySignal(facts).Kind, TFaultInfo::fkPrivilegedInstruction);
  facts.Signal = SIGBUS;
  facts.Code = 1;  // BUS_ADRALN
  TFaultInfo misaligned = ClassifySignal(facts);
  EXPECT_EQ(misaligned.Kind, TFaultInfo::fkOther);
  EXPECT_EQ(misaligned.Code, 0x80000002u);
  facts.Signal = SIGSEGV;
  facts.Code = 1;
  facts.OnStackGuard = true;
  EXPECT_EQ(ClassifySignal(facts).Kind, TFaultInfo::fkStackOverflow);
}

TEST(ClassifySignal, RecognisesPrivilegedInstructions) {
  const unsigned char hlt[] = {0xF4, 0, 0}, cli[] = {0xFA, 0, 0}, outDx[] = {0xEE, 0, 0},
                      movCr[] = {0x0F, 0x22, 0xD8}, lgdt[] = {0x0F, 0x01, 0x10},
                      withRex[] = {0x48, 0x0F, 0x20, 0xC0};
  for (const unsigned char* bytes : {hlt, cli, outDx, movCr, lgdt, withRex}) {
    EXPECT_TRUE(IsPrivilegedX86Instruction(bytes));
  }
  const unsigned char nop[] = {0x90, 0, 0}, mov[] = {0x48, 0x8B, 0x00, 0},
                      cpuid[] = {0x0F, 0xA2, 0}, syscall[] = {0x0F, 0x05, 0};
  for (const unsigned char* bytes : {nop, mov, cpuid, syscall}) {
    EXPECT_FALSE(IsPrivilegedX86Instruction(bytes));
  }
}

#endif

class GuardedLibraryTest : public ::testing::Test {
 protected:
  GuardedLibraryTest() {
    zta_double::Reset();
    platform.Symbols = TestDoubleSymbols();
  }
  Text ErrorOf(TdllZTA& aService, const Text& aText) {
    return MessageOf([&] { aService.Translate(aText); });
  }
  TFakePlatform platform;
};

TEST_F(GuardedLibraryTest, FaultsInsideTheLibraryBecomeExceptions) {
  TdllZTA service(platform, {u"en", u"en", u"de"});
  EXPECT_EQ(ErrorOf(service, u"@fault stack"), u"Stack overflow");
  EXPECT_EQ(ErrorOf(service, u"@fault intdiv"), u"Division by zero");
  EXPECT_EQ(ErrorOf(service, u"@fault fltdiv"), u"Floating point division by zero");
  Text violation = ErrorOf(service, u"@fault write");
  EXPECT_EQ(violation.substr(0, 28), u"Access violation at address ");
  EXPECT_NE(violation.find(u". Write of address " + AddressToHex(0x20)), Text::npos);
  // The same faults, again and again, are contained each time.
  for (int i = 0; i < 100; ++i) ASSERT_EQ(ErrorOf(service, u"@fault read").substr(0, 6), u"Access");
  // And calls in between work as before.
  EXPECT_EQ(service.Translate(u"x"), u"[en>de] x");
}

TEST_F(GuardedLibraryTest, ABatchThatFaultsIsTranslatedLineByLine) {
  TdllZTA service(platform, {u"en", u"en", u"de"});
  std::vector<Text> lines = {u"a", u"@batchfault write", u"@fault read", u"b"};
  std::size_t failed = 0;
  EXPECT_EQ(service.TranslateLines({lines.data(), lines.size()}, failed), lines.size());
  EXPECT_EQ(failed, 1u);
  EXPECT_EQ(lines[0], u"[en>de] a");
  EXPECT_EQ(lines[1], u"[en>de] @batchfault write");
  EXPECT_EQ(lines[2].substr(0, 28), u"Access violation at address ");
  EXPECT_NE(lines[2].find(u". Read of address " + AddressToHex(0x10)), Text::npos);
  EXPECT_EQ(lines[3], u"[en>de] b");
  // One batch call that faulted, then each line alone; and the next batch
  // works.
  ASSERT_GE(zta_double::Calls().size(), 5u);
  EXPECT_EQ(zta_double::Calls()[0].Entry, "ztaTranslateBatch");
  std::vector<Text> next = {u"c"};
  service.TranslateLines({next.data(), next.size()}, failed);
  EXPECT_EQ(next[0], u"[en>de] c");
  EXPECT_EQ(zta_double::Calls().back().Entry, "ztaTranslateBatch");
}

#if defined(__x86_64__) || defined(__i386__)
// The MXCSR where there is SSE, and the x87 control word.
std::pair<unsigned, unsigned short> FloatingPointSettings() {
  unsigned mxcsr = 0;
#if defined(__SSE__)
  mxcsr = _mm_getcsr();
#endif
  unsigned short x87;
  __asm__ volatile("fnstcw %0" : "=m"(x87));
  return {mxcsr, x87};
}

TEST_F(GuardedLibraryTest, TheCallersFloatingPointSettingsComeBack) {
  TdllZTA service(platform, {u"en", u"en", u"de"});
  const auto before = FloatingPointSettings();
  service.Translate(u"x");
  EXPECT_EQ(FloatingPointSettings(), before);
  ErrorOf(service, u"@fault fltinv");
  EXPECT_EQ(FloatingPointSettings(), before);
  ErrorOf(service, u"@fault fltund");  // the double unmasks underflow itself
  EXPECT_EQ(FloatingPointSettings(), before);
  // A C++ exception let out of the library ends its call too.
  EXPECT_THROW(service.Translate(u"@throw"), std::bad_alloc);
  EXPECT_EQ(FloatingPointSettings(), before);
  // Outside the library, floating-point errors stay quiet.
  volatile double zero = 0.0;
  volatile double quiet = 1.0 / zero;
  EXPECT_GT(quiet, 1e308);
}

TEST_F(GuardedLibraryTest, ARunOfCallsKeepsEveryCallGuardedAndGivesTheSettingsBack) {
  TdllZTA service(platform, {u"en", u"en", u"de"});
  const auto before = FloatingPointSettings();
  {
    // Faults leave other settings behind, and the library changes them:
    // each call of the run traps as the first did.
    TLibraryCallRun run(service.CallGuard());
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(ErrorOf(service, u"@fault x87div"), u"Floating point division by zero");
      EXPECT_EQ(ErrorOf(service, u"@fault fltund"), u"Floating point underflow");
      EXPECT_EQ(ErrorOf(service, u"@fault fltinv"), u"Invalid floating point operation");
      EXPECT_EQ(service.Translate(u"x"), u"[en>de] x");
    }
  }
  EXPECT_EQ(FloatingPointSettings(), before);
}
#endif

#if !defined(_WIN32)
TEST(FaultGuardDeathTest, AFaultOutsideAGuardedCallStillEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        InstallFaultGuard();
        zta_double::RaiseFault("write");
      },
      ::testing::KilledBySignal(SIGSEGV), "");
  EXPECT_EXIT(
      {
        InstallFaultGuard();
        std::raise(SIGFPE);
      },
      ::testing::KilledBySignal(SIGFPE), "");
}

#endif

}  // namespace
}  // namespace xlate
