// The parts of the contract libraries' kit (library/kit) that this library
// uses, under the names of this library's own style.
#ifndef XLATE_LIBRARY_APERTIUM_KIT_NAMES_H
#define XLATE_LIBRARY_APERTIUM_KIT_NAMES_H

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "library/kit/ErrorState.h"
#include "library/kit/HttpTransport.h"
#include "library/kit/Utf8Check.h"

namespace zta {

using HttpOutcome = zta_kit::THttpOutcome;
using HttpResult = zta_kit::THttpResult;
using HttpTransport = zta_kit::THttpTransport;
using HttpLimits = zta_kit::THttpLimits;

inline std::unique_ptr<HttpTransport> makeHttpTransport(const HttpLimits& limits,
                                                        std::string* error) {
  return zta_kit::MakeHttpTransport(limits, error);
}

// True when text is well-formed UTF-8.
inline bool isValidUtf8(std::string_view text) { return zta_kit::IsValidUtf8(text); }

// Printable ASCII copy of text for error messages: other bytes become '?',
// and a text longer than maxLength is cut and ends in "...".
inline std::string asciiForMessage(std::string_view text, std::size_t maxLength = 200) {
  return zta_kit::AsciiForMessage(text, maxLength);
}

}  // namespace zta

#endif
