// Single-byte code pages: every byte is one character and back, and the
// byte-for-byte conversion keeps the length.
#include <cstdint>

#include "common/CodePages.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize) {
  using namespace xlate;
  static const std::uint32_t kPages[] = {1250, 1251, 1252, 437, 850, 852, 866, 1253, 65001};
  if (aSize < 2) return 0;
  const std::uint32_t from = kPages[aData[0] % 9], to = kPages[aData[1] % 9];
  const std::string bytes(reinterpret_cast<const char*>(aData) + 2, aSize - 2);
  const Text text = CodePageToText(from, bytes.data(), bytes.size());
  if (from != kCodePageUtf8) {
    Check(text.size() == bytes.size(), "not one character per byte");
    Check(TextToCodePage(from, text.data(), text.size()).size() == bytes.size(),
          "not one byte per character");
  }
  Check(ConvertBytes(from, to, bytes).size() == bytes.size(), "the length changed");
  const std::string encoded = TextToCodePage(to, text.data(), text.size());
  if (to != kCodePageUtf8) Check(encoded.size() <= text.size(), "more bytes than characters");
  return 0;
}
