// The contract's rules that every library keeps the same way, checked once
// over the built libraries (the echo library, the test double and, on
// Linux, the Apertium library), each loaded as the program loads it: a
// buffer too small gives code 1 and the retry the whole result; error texts;
// the records of a batch.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "contract/ZtaContract.h"
#include "testsupport/LoadedLibrary.h"

namespace xlate {
namespace {

struct TLibraryRow {
  const char* name;
  const char* path;
  const char* translation;  // of kText from "en" to "en"
  // The text of code 1 after a result that did not fit; nullptr where the
  // library has none (its ztaErrorText fails).
  const char* tooSmallText;
  // The code ztaErrorText fails with for a code the library never gives.
  std::uint32_t unknownCodeFailure;
  // A text whose translation fails, with its code and error text; nullptr
  // where every text translates.
  const char* failingText;
  std::uint32_t failingCode;
  const char* failingMessage;
};

constexpr const char* kText = "The house.";

const TLibraryRow kLibraries[] = {
    {"echo", XLATE_ECHO_LIBRARY, "The house.", "buffer too small", 2, nullptr, 0, nullptr},
    {"testdouble", XLATE_TEST_DOUBLE, "[en>en] The house.", nullptr, 13, "@fail 5 five", 5, "five"},
#ifdef XLATE_APERTIUM_LIBRARY
    {"apertium", XLATE_APERTIUM_LIBRARY, "The house.",
     "The result needs 11 bytes and the buffer holds 10", 11, "bad \xC3 byte", 5,
     "The text is not valid UTF-8"},
#endif
};

using TRecord = std::pair<std::uint32_t, std::string>;

class TLibrary {
 public:
  explicit TLibrary(const TLibraryRow& aRow) : FLibrary(aRow.path) {
    FLastErrorCode = FLibrary.Function<TprocLastErrorCode>("ztaLastErrorCode");
    FErrorText = FLibrary.Function<TprocErrorText>("ztaErrorText");
    FTranslate = FLibrary.Function<TprocTranslate>("ztaTranslate");
    FTranslateBatch = FLibrary.Function<TprocTranslateBatch>("ztaTranslateBatch");
  }
  bool Loaded() const {
    return FLibrary.Loaded() && FLastErrorCode && FErrorText && FTranslate && FTranslateBatch;
  }
  std::uint32_t LastErrorCode() const { return FLastErrorCode(); }
  bool ErrorText(std::uint32_t aCode, std::vector<char>& vBuffer) const {
    return (FErrorText(aCode, vBuffer.data(), static_cast<std::uint32_t>(vBuffer.size())) & 0xFF) !=
           0;
  }
  bool Translate(const char* aText, std::vector<char>& vDest) const {
    return (FTranslate("en", "en", "en", aText, vDest.data(),
                       static_cast<std::uint32_t>(vDest.size())) &
            0xFF) != 0;
  }
  bool TranslateBatch(const std::vector<const char*>& aTexts, std::vector<char>& vDest) const {
    return (FTranslateBatch("en", "en", "en", static_cast<std::uint32_t>(aTexts.size()),
                            aTexts.data(), vDest.data(), static_cast<std::uint32_t>(vDest.size())) &
            0xFF) != 0;
  }
  // The record translating aText alone gives: code 0 and the translation,
  // or the failure's code and its error text.
  TRecord AloneRecord(const char* aText) const {
    std::vector<char> buffer(1024);
    if (Translate(aText, buffer)) return {0, buffer.data()};
    const std::uint32_t code = LastErrorCode();
    EXPECT_TRUE(ErrorText(code, buffer)) << code;
    // Looking the text up is no new outcome: the last code stays.
    EXPECT_EQ(LastErrorCode(), code);
    return {code, buffer.data()};
  }

 private:
  TLoadedLibrary FLibrary;
  TprocLastErrorCode FLastErrorCode = nullptr;
  TprocErrorText FErrorText = nullptr;
  TprocTranslate FTranslate = nullptr;
  TprocTranslateBatch FTranslateBatch = nullptr;
};

std::string Records(const std::vector<TRecord>& aRecords) {
  std::string bytes;
  for (const auto& [code, text] : aRecords) {
    for (unsigned shift = 0; shift < 32; shift += 8) bytes += static_cast<char>(code >> shift);
    bytes += text;
    bytes += '\0';
  }
  return bytes;
}

TEST(ContractLibraries, GiveCodeOneForABufferTooSmallAndTheWholeResultOnTheRetry) {
  for (const TLibraryRow& row : kLibraries) {
    SCOPED_TRACE(row.name);
    TLibrary library(row);
    ASSERT_TRUE(library.Loaded()) << row.path;
    const std::size_t length = std::strlen(row.translation);
    // The result and its NUL do not fit in its length, nor in nothing.
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, length}) {
      std::vector<char> small(size, 'x');
      EXPECT_FALSE(library.Translate(kText, small)) << size;
      EXPECT_EQ(library.LastErrorCode(), ZTA_CODE_BUFFER_TOO_SMALL) << size;
    }
    // The text of code 1; a buffer too small for it gives code 1 again.
    std::vector<char> tiny(4);
    std::vector<char> text(256);
    if (row.tooSmallText != nullptr) {
      ASSERT_TRUE(library.ErrorText(ZTA_CODE_BUFFER_TOO_SMALL, text));
      EXPECT_STREQ(text.data(), row.tooSmallText);
      EXPECT_FALSE(library.ErrorText(ZTA_CODE_BUFFER_TOO_SMALL, tiny));
      EXPECT_EQ(library.LastErrorCode(), ZTA_CODE_BUFFER_TOO_SMALL);
    } else {
      EXPECT_FALSE(library.ErrorText(ZTA_CODE_BUFFER_TOO_SMALL, text));
    }
    std::vector<char> exact(length + 1, 'x');
    ASSERT_TRUE(library.Translate(kText, exact));
    EXPECT_EQ(std::string(exact.data(), exact.size()), std::string(row.translation) + '\0');
    // A code the library never gives has no text: a failure of its own.
    EXPECT_FALSE(library.ErrorText(4242, text));
    EXPECT_EQ(library.LastErrorCode(), row.unknownCodeFailure);
  }
}

TEST(ContractLibraries, GiveEachTextOfABatchTheRecordOfTheTextAlone) {
  for (const TLibraryRow& row : kLibraries) {
    SCOPED_TRACE(row.name);
    TLibrary library(row);
    ASSERT_TRUE(library.Loaded()) << row.path;
    std::vector<const char*> texts = {kText, "", "a b"};
    if (row.failingText != nullptr) texts.push_back(row.failingText);
    std::vector<TRecord> alone;
    for (const char* text : texts) alone.push_back(library.AloneRecord(text));
    if (row.failingText != nullptr) {
      EXPECT_EQ(alone.back(), TRecord(row.failingCode, row.failingMessage));
    }
    const std::string expected = Records(alone);
    // One byte short: code 1. Then the records and nothing after them.
    std::vector<char> dest(expected.size() - 1);
    EXPECT_FALSE(library.TranslateBatch(texts, dest));
    EXPECT_EQ(library.LastErrorCode(), ZTA_CODE_BUFFER_TOO_SMALL);
    dest.assign(expected.size() + 16, '\xFF');
    std::vector<char> exact(expected.size());
    ASSERT_TRUE(library.TranslateBatch(texts, exact));
    EXPECT_EQ(std::string(exact.data(), exact.size()), expected);
    ASSERT_TRUE(library.TranslateBatch(texts, dest));
    EXPECT_EQ(std::string(dest.data(), dest.size()), expected + std::string(16, '\xFF'));
    std::vector<char> none(1024, '\xFF');
    EXPECT_TRUE(library.TranslateBatch({}, none));
    EXPECT_EQ(none, std::vector<char>(1024, '\xFF'));
  }
}

}  // namespace
}  // namespace xlate
