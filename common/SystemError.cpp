#include "common/SystemError.h"

namespace xlate {

namespace {
constexpr std::size_t kMessageBufferUnits = 256;
}

Text TrimSystemMessage(const Text& aMessage) {
  if (aMessage.size() >= kMessageBufferUnits) return Text();
  std::size_t end = aMessage.size();
  while (end > 0 && (aMessage[end - 1] <= 32 || aMessage[end - 1] == u'.')) --end;
  return aMessage.substr(0, end);
}

}  // namespace xlate
