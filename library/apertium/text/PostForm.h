// The POST text form of a text: application/x-www-form-urlencoded bytes, as
// an HTML form sends a field's value. Letters, digits and "*-._" stay, a
// space becomes "+", every other byte becomes "%XX" (upper-case hex).
#ifndef XLATE_LIBRARY_APERTIUM_POST_FORM_H
#define XLATE_LIBRARY_APERTIUM_POST_FORM_H

#include <optional>
#include <string>
#include <string_view>

namespace zta {

std::string toPostText(std::string_view text);

// The bytes that a POST text stands for ("+" is a space). Nothing when a "%"
// is not followed by two hex digits.
std::optional<std::string> fromPostText(std::string_view postText);

}  // namespace zta

#endif
