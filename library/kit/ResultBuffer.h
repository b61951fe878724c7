// The rule every entry point with a destination keeps: the whole result and
// its NUL go into the caller's buffer, or nothing does and the call fails
// with code 1 ("the destination is too small"), so that the caller calls
// again with a larger buffer.
#ifndef XLATE_LIBRARY_KIT_RESULT_BUFFER_H
#define XLATE_LIBRARY_KIT_RESULT_BUFFER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zta_kit {

// The bytes aResult takes in a destination: its own, and its NUL when
// aWithNul (the records of a batch end with their own NUL and take none).
inline std::size_t BytesNeeded(std::string_view aResult, bool aWithNul = true) {
  return aResult.size() + (aWithNul ? 1 : 0);
}

// Copies aResult, and its NUL when aWithNul, to the start of vDest: true, or
// false with nothing written when it needs more than aMaxSize bytes.
bool CopyResult(std::string_view aResult, char* vDest, std::uint32_t aMaxSize,
                bool aWithNul = true);

// "The result needs 21 bytes and the buffer holds 20": the detail of code 1
// for an error text.
std::string TooSmallText(std::size_t aNeeded, std::uint32_t aMaxSize);

}  // namespace zta_kit

#endif
