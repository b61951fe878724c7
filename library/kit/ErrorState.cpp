#include "library/kit/ErrorState.h"

#include "contract/ZtaContract.h"
#include "library/kit/ResultBuffer.h"

namespace zta_kit {

static_assert(kCodeTooSmall == ZTA_CODE_BUFFER_TOO_SMALL, "code 1 is the contract's");

void TErrorState::Fail(std::uint32_t aCode, std::string_view aText) {
  FLastCode = aCode;
  FTexts[aCode] = aText;
}

const char* TErrorState::Text(std::uint32_t aCode) const {
  const auto kept = FTexts.find(aCode);
  if (kept != FTexts.end()) return kept->second.c_str();
  return FGeneralText != nullptr ? FGeneralText(aCode) : nullptr;
}

bool TErrorState::Deliver(std::string_view aResult, char* vDest, std::uint32_t aMaxSize,
                          bool aWithNul) {
  if (CopyResult(aResult, vDest, aMaxSize, aWithNul)) return true;
  Fail(kCodeTooSmall);
  return false;
}

bool TErrorState::CopyText(std::uint32_t aCode, char* vBuffer, std::uint32_t aMaxSize,
                           std::uint32_t aNoTextCode) {
  const char* text = Text(aCode);
  if (text == nullptr) {
    Fail(aNoTextCode);
    return false;
  }
  return Deliver(text, vBuffer, aMaxSize);
}

std::string AsciiForMessage(std::string_view aText, std::size_t aMaxLength) {
  const bool cut = aText.size() > aMaxLength;
  std::string out;
  out.reserve(cut ? aMaxLength + 3 : aText.size());
  for (std::size_t i = 0; i < aText.size() && i < aMaxLength; ++i) {
    const auto c = static_cast<unsigned char>(aText[i]);
    out.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
  }
  if (cut) out += "...";
  return out;
}

}  // namespace zta_kit
