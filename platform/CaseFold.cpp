#include "platform/CaseFold.h"

namespace xlate {

char16_t ToUpperSimple(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
  // Latin-1: U+00E0..U+00FE except the division sign; U+00FF is U+0178.
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);
  if (c == 0xFF) return 0x178;
  // Latin Extended-A: pairs of upper and lower case, upper first, except for
  // the stretch U+0139..U+0148 and U+0179..U+017E, where lower is even.
  if (c >= 0x100 && c <= 0x17F) {
    bool oddLower = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    if (oddLower) return (c % 2 == 0) ? static_cast<char16_t>(c - 1) : c;
    return (c % 2 == 1) ? static_cast<char16_t>(c - 1) : c;
  }
  // Greek.
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<char16_t>(c - 0x20);
  if (c == 0x3C2) return 0x3A3;
  // Cyrillic.
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
  return c;
}

bool EqualIgnoringCase(const Text& aLeft, const Text& aRight) {
  if (aLeft.size() != aRight.size()) return false;
  for (std::size_t i = 0; i < aLeft.size(); ++i) {
    if (ToUpperSimple(aLeft[i]) != ToUpperSimple(aRight[i])) return false;
  }
  return true;
}

}  // namespace xlate
