#pragma once

// A whole run of the program on the in-memory platform, with the test
// double as its library and a German Windows's code pages (1252 and 850).

#include <gtest/gtest.h>

#include "app/MainBlock.h"
#include "library/testdouble/DoubleCore.h"
#include "testsupport/Expected.h"
#include "testsupport/FakePlatform.h"

namespace xlate {

class TProgramTest : public ::testing::Test {
 protected:
  TProgramTest() {
    zta_double::Reset();
    FPlatform.Symbols = TestDoubleSymbols();
    FPlatform.Ansi = 1252;
    FPlatform.Oem = 850;
  }
  int Run(std::vector<Text> aParameters) {
    FPlatform.Parameters = std::move(aParameters);
    return RunProgram(FPlatform);
  }
  static std::string Report(const std::string& aMessage) {
    return ExpectedReport(aMessage, "xlate");
  }
  std::string& File(const Text& aName) { return FPlatform.Entries[aName].Bytes; }
  // Lines handed to the library to translate: one per ztaTranslate call,
  // and the count of a batch call (logged as "init|from|to|count|...").
  std::size_t TranslateCalls() const {
    std::size_t n = 0;
    for (const auto& call : zta_double::Calls()) {
      if (call.Entry == "ztaTranslate") ++n;
      if (call.Entry != "ztaTranslateBatch") continue;
      std::size_t at = 0;
      for (int bar = 0; bar < 3; ++bar) at = call.Text.find('|', at) + 1;
      n += std::stoul(call.Text.substr(at));
    }
    return n;
  }

  TFakePlatform FPlatform;
};

}  // namespace xlate
