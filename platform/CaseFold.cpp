#include "platform/CaseFold.h"

namespace xlate {

char16_t ToUpperSimple(char16_t aUnit) {
  if (aUnit < 0x80)
    return (aUnit >= u'a' && aUnit <= u'z') ? static_cast<char16_t>(aUnit - 0x20) : aUnit;
  // Latin-1: U+00E0..U+00FE except the division sign; U+00FF is U+0178.
  if (aUnit >= 0xE0 && aUnit <= 0xFE && aUnit != 0xF7) return static_cast<char16_t>(aUnit - 0x20);
  if (aUnit == 0xFF) return 0x178;
  // Latin Extended-A: pairs of upper and lower case, upper first, except for
  // the stretch U+0139..U+0148 and U+0179..U+017E, where lower is even.
  if (aUnit >= 0x100 && aUnit <= 0x17F) {
    bool oddLower = (aUnit >= 0x139 && aUnit <= 0x148) || (aUnit >= 0x179 && aUnit <= 0x17E);
    if (aUnit == 0x131 || aUnit == 0x138 || aUnit == 0x149 || aUnit == 0x17F) return aUnit;
    if (oddLower) return (aUnit % 2 == 0) ? static_cast<char16_t>(aUnit - 1) : aUnit;
    return (aUnit % 2 == 1) ? static_cast<char16_t>(aUnit - 1) : aUnit;
  }
  // Greek.
  if (aUnit >= 0x3B1 && aUnit <= 0x3C9 && aUnit != 0x3C2)
    return static_cast<char16_t>(aUnit - 0x20);
  if (aUnit == 0x3C2) return 0x3A3;
  // Cyrillic.
  if (aUnit >= 0x430 && aUnit <= 0x44F) return static_cast<char16_t>(aUnit - 0x20);
  if (aUnit >= 0x450 && aUnit <= 0x45F) return static_cast<char16_t>(aUnit - 0x50);
  return aUnit;
}

bool EqualIgnoringCase(const Text& aLeft, const Text& aRight) {
  if (aLeft.size() != aRight.size()) return false;
  for (std::size_t i = 0; i < aLeft.size(); ++i) {
    if (ToUpperSimple(aLeft[i]) != ToUpperSimple(aRight[i])) return false;
  }
  return true;
}

}  // namespace xlate
