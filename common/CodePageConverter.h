#pragma once

#include <cstddef>
#include <cstdint>

#include "common/CodePages.h"
#include "common/Types.h"

namespace xlate {

// The code page conversions of the system the program runs on: its ANSI
// and OEM code pages, and conversions between them and text. The platform
// implements it; the conversions here take it, so that nothing in common/
// needs to know the platform.
class TCodePageConverter {
 public:
  virtual ~TCodePageConverter() = default;

  virtual std::uint32_t AnsiCodePage() = 0;
  virtual std::uint32_t OemCodePage() = 0;
  virtual Text MultiByteToText(std::uint32_t aCodePage, const char* aBytes, std::size_t aCount) = 0;
  // The same into an existing text, whose storage it may reuse.
  virtual void AssignMultiByteAsText(std::uint32_t aCodePage, const char* aBytes,
                                     std::size_t aCount, Text& vText) {
    vText = MultiByteToText(aCodePage, aBytes, aCount);
  }
  virtual void AppendTextAsMultiByte(std::uint32_t aCodePage, const char16_t* aText,
                                     std::size_t aCount, ByteString& vOut) = 0;
  // Bytes of a code page appended to vOut as UTF-8: the same bytes as
  // making a text of them and encoding that, which is what this does where
  // the platform has no shorter way.
  virtual void AppendMultiByteAsUtf8(std::uint32_t aCodePage, const char* aBytes,
                                     std::size_t aCount, ByteString& vOut) {
    const Text text = MultiByteToText(aCodePage, aBytes, aCount);
    AppendTextAsMultiByte(kCodePageUtf8, text.data(), text.size(), vOut);
  }
  virtual ByteString CharToOem(const ByteString& aBytes) = 0;
  virtual ByteString OemToChar(const ByteString& aBytes) = 0;
};

}  // namespace xlate
