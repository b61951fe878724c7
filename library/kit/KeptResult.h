// The result kept for the retry after code 1: a caller whose buffer was too
// small calls again with the same arguments and a larger buffer, and the
// library answers from what it kept instead of translating again. The
// result is keyed by the contents of the arguments, not their addresses.
#ifndef XLATE_LIBRARY_KIT_KEPT_RESULT_H
#define XLATE_LIBRARY_KIT_KEPT_RESULT_H

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zta_kit {

// The contents of a call's arguments, in order.
using TArguments = std::vector<std::string_view>;

// aArguments, then the aCount texts of aTexts; nothing when one of them is
// null (such a call is never answered from a kept result).
std::optional<TArguments> ArgumentsOf(std::initializer_list<const char*> aArguments,
                                      std::uint32_t aCount = 0,
                                      const char* const* aTexts = nullptr);

class TKeptResult {
 public:
  // The result kept for these arguments, or nullptr.
  const std::string* Find(const std::optional<TArguments>& aArguments) const;
  // Keeps aResult for these arguments in place of the one kept before;
  // keeps nothing when there are no arguments.
  void Keep(const std::optional<TArguments>& aArguments, std::string aResult);
  void Forget();

 private:
  std::optional<std::vector<std::string>> FArguments;
  std::string FResult;
};

}  // namespace zta_kit

#endif
