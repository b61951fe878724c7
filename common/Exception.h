#pragma once

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>

#include "common/Types.h"

namespace xlate {

// The one exception class the program raises. It carries the message that
// the main block reports.
class TException : public std::exception {
 public:
  explicit TException(Text aMessage);
  const Text& Message() const noexcept { return FMessage; }
  // The message in UTF-8, for diagnostics outside the console report.
  const char* what() const noexcept override { return FUtf8.c_str(); }

 private:
  Text FMessage;
  std::string FUtf8;
};

// One argument of Format: a text for %s, an integer for %d and %x, an
// address for %p.
class TFormatArg {
 public:
  TFormatArg(const Text& aText) : FKind(faText), FText(&aText) {}           // NOLINT
  TFormatArg(const char16_t* aText) : FKind(faLiteral), FLiteral(aText) {}  // NOLINT
  TFormatArg(int aValue) : FKind(faInteger), FInteger(aValue) {}            // NOLINT
  TFormatArg(long aValue) : FKind(faInteger), FInteger(aValue) {}           // NOLINT
  TFormatArg(long long aValue) : FKind(faInteger), FInteger(aValue) {}      // NOLINT
  TFormatArg(unsigned aValue) : FKind(faInteger), FInteger(aValue) {}       // NOLINT
  TFormatArg(unsigned long aValue)                                          // NOLINT
      : FKind(faInteger), FInteger(static_cast<long long>(aValue)) {}
  TFormatArg(unsigned long long aValue)  // NOLINT
      : FKind(faInteger), FInteger(static_cast<long long>(aValue)) {}
  TFormatArg(const void* aAddress)  // NOLINT
      : FKind(faAddress), FAddress(reinterpret_cast<std::uintptr_t>(aAddress)) {}

  void AppendTo(Text& vOut, char16_t aConversion) const;

 private:
  enum TKind { faText, faLiteral, faInteger, faAddress };
  TKind FKind;
  const Text* FText = nullptr;
  const char16_t* FLiteral = nullptr;
  long long FInteger = 0;
  std::uintptr_t FAddress = 0;
};

// printf-style formatting: %s, %d, %x, %p and %%. %p writes as many
// hexadecimal digits as a pointer has. Arguments are taken in order; a
// placeholder without an argument is kept as it stands.
Text Format(const Text& aFormat, std::initializer_list<TFormatArg> aArgs);

// Writes an address as upper-case hexadecimal with a pointer's width.
Text AddressToHex(std::uintptr_t aAddress);

}  // namespace xlate
