#include "common/Exception.h"

#include "common/Utf8.h"

namespace xlate {

TException::TException(Text aMessage)
    : FMessage(std::move(aMessage)), FUtf8(EncodeUtf8(FMessage)) {}

namespace {

Text ToText(const std::string& aAscii) { return Text(aAscii.begin(), aAscii.end()); }

Text Hex(unsigned long long aValue, std::size_t aMinDigits) {
  static const char kDigits[] = "0123456789ABCDEF";
  Text digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(kDigits[aValue & 0xF]));
    aValue >>= 4;
  } while (aValue != 0);
  if (digits.size() < aMinDigits) digits.insert(0, aMinDigits - digits.size(), u'0');
  return digits;
}

}  // namespace

Text AddressToHex(std::uintptr_t aAddress) { return Hex(aAddress, sizeof(void*) * 2); }

void TFormatArg::AppendTo(Text& vOut, char16_t aConversion) const {
  switch (FKind) {
    case faText:
      vOut += *FText;
      return;
    case faLiteral:
      vOut += FLiteral;
      return;
    case faInteger:
      if (aConversion == u'x') {
        // %x writes the 32-bit pattern of the value, as codes are Cardinals.
        vOut += Hex(static_cast<unsigned long long>(FInteger) & 0xFFFFFFFFull, 1);
      } else {
        vOut += ToText(std::to_string(FInteger));
      }
      return;
    case faAddress:
      vOut += AddressToHex(FAddress);
      return;
  }
}

Text Format(const Text& aFormat, std::initializer_list<TFormatArg> aArgs) {
  Text out;
  out.reserve(aFormat.size() + 32);
  auto arg = aArgs.begin();
  for (std::size_t i = 0; i < aFormat.size(); ++i) {
    char16_t c = aFormat[i];
    if (c != u'%' || i + 1 >= aFormat.size()) {
      out += c;
      continue;
    }
    char16_t conversion = aFormat[i + 1];
    if (conversion == u'%') {
      out += u'%';
      ++i;
    } else if ((conversion == u's' || conversion == u'd' || conversion == u'x' ||
                conversion == u'p') &&
               arg != aArgs.end()) {
      arg->AppendTo(out, conversion);
      ++arg;
      ++i;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace xlate
