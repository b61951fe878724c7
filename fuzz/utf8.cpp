// UTF-8: decoding is stable under encoding, and valid input comes back as
// it was.
#include "common/Utf8.h"

#include <cstdint>

#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize) {
  using namespace xlate;
  const std::string bytes(reinterpret_cast<const char*>(aData), aSize);
  const Text text = DecodeUtf8(bytes);
  Check(text.size() <= bytes.size(), "more units than bytes");
  const std::string encoded = EncodeUtf8(text);
  Check(DecodeUtf8(encoded) == text, "decoding is not stable");
  if (text.find(u'\uFFFD') == Text::npos) Check(encoded == bytes, "valid UTF-8 changed");
  Check(IsValidUtf8(bytes.data(), bytes.size()) == (encoded == bytes),
        "valid means unchanged by decoding and encoding");
  // Any UTF-16, paired or not, encodes to valid UTF-8.
  const Text units = Units(aData, aSize);
  Check(EncodeUtf8(DecodeUtf8(EncodeUtf8(units))) == EncodeUtf8(units), "encoding is not stable");
  return 0;
}
