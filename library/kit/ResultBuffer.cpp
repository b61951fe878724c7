#include "library/kit/ResultBuffer.h"

#include <cstring>

namespace zta_kit {

bool CopyResult(std::string_view aResult, char* vDest, std::uint32_t aMaxSize, bool aWithNul) {
  if (BytesNeeded(aResult, aWithNul) > aMaxSize) return false;
  if (!aResult.empty()) std::memcpy(vDest, aResult.data(), aResult.size());
  if (aWithNul) vDest[aResult.size()] = '\0';
  return true;
}

std::string TooSmallText(std::size_t aNeeded, std::uint32_t aMaxSize) {
  return "The result needs " + std::to_string(aNeeded) + " bytes and the buffer holds " +
         std::to_string(aMaxSize);
}

}  // namespace zta_kit
