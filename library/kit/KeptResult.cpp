#include "library/kit/KeptResult.h"

#include <algorithm>

namespace zta_kit {

std::optional<TArguments> ArgumentsOf(std::initializer_list<const char*> aArguments,
                                      std::uint32_t aCount, const char* const* aTexts) {
  if (aCount > 0 && aTexts == nullptr) return std::nullopt;
  TArguments arguments;
  arguments.reserve(aArguments.size() + aCount);
  for (const char* argument : aArguments) {
    if (argument == nullptr) return std::nullopt;
    arguments.emplace_back(argument);
  }
  for (std::uint32_t i = 0; i < aCount; ++i) {
    if (aTexts[i] == nullptr) return std::nullopt;
    arguments.emplace_back(aTexts[i]);
  }
  return arguments;
}

const std::string* TKeptResult::Find(const std::optional<TArguments>& aArguments) const {
  if (!aArguments || !FArguments || FArguments->size() != aArguments->size()) return nullptr;
  const bool same = std::equal(aArguments->begin(), aArguments->end(), FArguments->begin());
  return same ? &FResult : nullptr;
}

void TKeptResult::Keep(const std::optional<TArguments>& aArguments, std::string aResult) {
  Forget();
  if (!aArguments) return;
  FArguments.emplace(aArguments->begin(), aArguments->end());
  FResult = std::move(aResult);
}

void TKeptResult::Forget() {
  FArguments.reset();
  FResult.clear();
}

}  // namespace zta_kit
