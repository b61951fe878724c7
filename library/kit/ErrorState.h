// A library's last failure and the texts of its failures: what
// ztaLastErrorCode and ztaErrorText give.
//
// Each failure sets the last code; a failure given with a text keeps that
// text for its code, until the next failure with the same code replaces it.
// ztaErrorText gives a code's kept text, or else its general text (from the
// library's table, where it has one). Looking a text up is no new call
// outcome: the last code stays as it was unless the lookup itself fails.
#ifndef XLATE_LIBRARY_KIT_ERROR_STATE_H
#define XLATE_LIBRARY_KIT_ERROR_STATE_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace zta_kit {

// The contract's code 1: the destination is too small.
constexpr std::uint32_t kCodeTooSmall = 1;

// The general text of a code, or nullptr when the library has none for it.
using TGeneralText = const char* (*)(std::uint32_t aCode);

class TErrorState {
 public:
  explicit TErrorState(TGeneralText aGeneralText = nullptr) : FGeneralText(aGeneralText) {}

  std::uint32_t LastCode() const { return FLastCode; }
  void SetLastCode(std::uint32_t aCode) { FLastCode = aCode; }

  // A failure with aCode; its text stays as it was.
  void Fail(std::uint32_t aCode) { FLastCode = aCode; }
  // A failure with aCode, whose text is now aText.
  void Fail(std::uint32_t aCode, std::string_view aText);

  // The text of aCode: the kept one, else the general one; nullptr when
  // there is neither. Valid until the next failure.
  const char* Text(std::uint32_t aCode) const;

  // Copies aResult (and its NUL when aWithNul) into vDest: true, or false
  // with code 1 when it does not fit. A success leaves the last code.
  bool Deliver(std::string_view aResult, char* vDest, std::uint32_t aMaxSize, bool aWithNul = true);

  // What ztaErrorText does: copies the text of aCode into vBuffer and keeps
  // the last code; false with code 1 when the text does not fit, with
  // aNoTextCode when aCode has no text.
  bool CopyText(std::uint32_t aCode, char* vBuffer, std::uint32_t aMaxSize,
                std::uint32_t aNoTextCode);

 private:
  TGeneralText FGeneralText;
  std::map<std::uint32_t, std::string> FTexts;
  std::uint32_t FLastCode = 0;
};

// A printable ASCII copy of aText for an error text, which the caller reads
// in its ANSI code page: every other byte becomes '?', and a text longer
// than aMaxLength is cut and ends in "...".
std::string AsciiForMessage(std::string_view aText, std::size_t aMaxLength = 200);

}  // namespace zta_kit

#endif
