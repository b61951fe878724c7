#include <gtest/gtest.h>

#include "testsupport/EndToEnd.h"

namespace xlate {
namespace {

#if defined(_WIN32)
const std::string kLibrary = "jxZTAccess.dll";
#else
const std::string kLibrary = "libjxZTAccess.so";
#endif

// The second line of the report: the message.
std::string MessageOf(const TProcessResult& aResult) {
  std::size_t start = aResult.Out.find("\r\n");
  if (aResult.Out.compare(0, 6, "Error:") != 0 || start == std::string::npos) return "(no report)";
  start += 2;
  return aResult.Out.substr(start, aResult.Out.find("\r\n", start) - start);
}

std::string Hex(unsigned long long aValue) {
  std::string digits(sizeof(void*) * 2, '0');
  for (std::size_t i = digits.size(); i-- > 0; aValue >>= 4)
    digits[i] = "0123456789ABCDEF"[aValue & 15];
  return digits;
}

class FaultEndToEnd : public ::testing::Test {
 protected:
  TProcessResult Translate(const std::string& aText, TProcessOptions aOptions = {}) {
    return folder.Run({"TEXT=" + aText}, "en_US.CP1252", aOptions);
  }
  TProgramFolder folder;
};

TEST_F(FaultEndToEnd, EachFaultIsReportedAndTheRunEndsNormally) {
  const std::pair<const char*, const char*> faults[] = {
      {"stack", "Stack overflow"},
      {"intdiv", "Division by zero"},
      {"fltinv", "Invalid floating point operation"},
      {"fltdiv", "Floating point division by zero"},
      {"fltovf", "Floating point overflow"},
      {"fltund", "Floating point underflow"},
      {"privileged", "Privileged instruction"},
      {"illegal", "External exception C000001D"},
      {"inexact", "External exception C000008F"},
      {"x87div", "Floating point division by zero"},
  };
  for (const auto& [kind, message] : faults) {
    TProcessResult r = Translate(std::string("@fault ") + kind);
    EXPECT_EQ(r.ExitCode, 0) << kind;
    EXPECT_EQ(r.Signal, 0) << kind;
    EXPECT_EQ(r.Out, ReportFor(message)) << kind;
  }
}

#if !defined(_WIN32)
// A library that runs out of memory and lets the exception out of its
// entry point: the run ends with the message, not with an abort. (A
// library that carries its own C++ runtime, as every one on Windows does,
// unwinds with an unwinder of its own, which cannot reach the program.)
TEST_F(FaultEndToEnd, AnExceptionLetOutOfTheLibraryIsReported) {
  const TProcessResult r = Translate("@throw");
  EXPECT_EQ(r.Signal, 0);
  EXPECT_EQ(r.Out, ReportFor("Out of memory"));
}
#endif

TEST_F(FaultEndToEnd, AnIntegerOverflowTrapIsReported) {
#if !defined(__i386__)
  GTEST_SKIP() << "only 32-bit x86 has an instruction that traps on overflow (INTO)";
#endif
  EXPECT_EQ(Translate("@fault intovf").Out, ReportFor("Integer overflow"));
}

TEST_F(FaultEndToEnd, AccessViolationsNameTheModuleTheAccessAndTheAddress) {
  const std::string prefix = "Access violation at address ";
  std::string read = MessageOf(Translate("@fault read"));
  EXPECT_EQ(read.substr(0, prefix.size()), prefix);
  EXPECT_EQ(read.substr(prefix.size() + sizeof(void*) * 2),
            " in module '" + kLibrary + "'. Read of address " + Hex(0x10));
  std::string write = MessageOf(Translate("@fault write"));
  EXPECT_EQ(write.substr(prefix.size() + sizeof(void*) * 2),
            " in module '" + kLibrary + "'. Write of address " + Hex(0x20));
  // A library that writes past the end of its result buffer meets the
  // page after it, which may not be touched: the first byte past the end,
  // at the start of a page.
  std::string overrun = MessageOf(Translate("@overrun"));
  const std::string access = " in module '" + kLibrary + "'. Write of address ";
  ASSERT_EQ(overrun.substr(0, prefix.size()), prefix);
  EXPECT_EQ(overrun.substr(prefix.size() + sizeof(void*) * 2, access.size()), access);
  EXPECT_EQ(overrun.size(), prefix.size() + sizeof(void*) * 4 + access.size());
  EXPECT_EQ(overrun.substr(overrun.size() - 3), "000");
}

TEST_F(FaultEndToEnd, AfterAFaultingLineTheNextLinesAreTranslated) {
  WriteFileBytes(folder.File("in.txt"), "one\n@fault stack\ntwo\n@fault fltdiv\nthree\n");
  TProcessResult r = folder.Run({"IFILE=in.txt", "OFILE=out.txt", "OCODING=ANSI"});
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(ReadFileBytes(folder.File("out.txt")),
            "[en>en] one\r\nStack overflow\r\n[en>en] two\r\nFloating point division by "
            "zero\r\n[en>en] three\r\n");
}

// A batch call that faults: its lines are translated one by one, as by a
// library without the batch entry point.
TEST_F(FaultEndToEnd, ABatchThatFaultsIsTranslatedLineByLine) {
  const std::string input = "a\n@batchfault write\n@fault fltdiv\nb\n";
  TProgramFolder withoutBatch(XLATE_TEST_DOUBLE_WITHOUT_BATCH);
  WriteFileBytes(folder.File("in.txt"), input);
  WriteFileBytes(withoutBatch.File("in.txt"), input);
  const std::vector<std::string> arguments = {"IFILE=in.txt", "OFILE=out.txt", "OCODING=ANSI"};
  EXPECT_EQ(folder.Run(arguments).Out, "");
  EXPECT_EQ(withoutBatch.Run(arguments).Out, "");
  EXPECT_EQ(ReadFileBytes(folder.File("out.txt")),
            "[en>en] a\r\n[en>en] @batchfault write\r\nFloating point division by zero\r\n"
            "[en>en] b\r\n");
  EXPECT_EQ(ReadFileBytes(folder.File("out.txt")), ReadFileBytes(withoutBatch.File("out.txt")));
  // A batch that writes past its buffer faults as well, and so does the
  // line alone; the heap after the buffers stays whole.
  WriteFileBytes(folder.File("in.txt"), "a\n@overrun\nb\n");
  const TProcessResult r = folder.Run(arguments);
  EXPECT_EQ(r.Signal, 0);
  EXPECT_EQ(r.Out, "");
  const std::string out = ReadFileBytes(folder.File("out.txt"));
  EXPECT_EQ(out.substr(0, 39), "[en>en] a\r\nAccess violation at address ");
  EXPECT_NE(out.find("'. Write of address "), std::string::npos);
  EXPECT_EQ(out.substr(out.size() - 13), "\r\n[en>en] b\r\n");
}

TEST_F(FaultEndToEnd, ALibraryWhoseEveryCallFaults) {
  TProcessOptions faulting;
  faulting.Environment["ZTA_DOUBLE_FAULT"] = "intdiv";
  EXPECT_EQ(Translate("x", faulting).Out, ReportFor("Division by zero"));
  EXPECT_EQ(folder.Run({"DO=LIST"}, "en_US.CP1252", faulting).Out, ReportFor("Division by zero"));
  WriteFileBytes(folder.File("in.txt"), "a\nb\n");
  WriteFileBytes(folder.File("out.txt"), "old");
  TProcessResult r =
      folder.Run({"IFILE=in.txt", "OFILE=out.txt", "OCODING=ANSI"}, "en_US.CP1252", faulting);
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(ReadFileBytes(folder.File("out.txt")), "Division by zero\r\nDivision by zero\r\n");
  // Without parameters the library is loaded but never called.
  EXPECT_EQ(folder.Run({}, "en_US.CP1252", faulting).Out.substr(0, 2), "\r\n");
}

}  // namespace
}  // namespace xlate
