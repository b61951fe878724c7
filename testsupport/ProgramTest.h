#pragma once

// A whole run of the program on the in-memory platform, with the test
// double as its library and a German Windows's code pages (1252 and 850).

#include <gtest/gtest.h>

#include "app/MainBlock.h"
#include "library/testdouble/DoubleCore.h"
#include "testsupport/Expected.h"
#include "testsupport/FakePlatform.h"

namespace xlate {

class ProgramTest : public ::testing::Test {
 protected:
  ProgramTest() {
    zta_double::Reset();
    platform.symbols = TestDoubleSymbols();
    platform.ansi = 1252;
    platform.oem = 850;
  }
  int Run(std::vector<Text> aParameters) {
    platform.parameters = std::move(aParameters);
    return RunProgram(platform);
  }
  static std::string Report(const std::string& aMessage) {
    return ExpectedReport(aMessage, "xlate");
  }
  std::string& File(const Text& aName) { return platform.files[aName].bytes; }
  // Lines handed to the library to translate: one per ztaTranslate call,
  // and the count of a batch call (logged as "init|from|to|count|...").
  std::size_t TranslateCalls() const {
    std::size_t n = 0;
    for (const auto& call : zta_double::Calls()) {
      if (call.entry == "ztaTranslate") ++n;
      if (call.entry != "ztaTranslateBatch") continue;
      std::size_t at = 0;
      for (int bar = 0; bar < 3; ++bar) at = call.text.find('|', at) + 1;
      n += std::stoul(call.text.substr(at));
    }
    return n;
  }

  FakePlatform platform;
};

}  // namespace xlate
