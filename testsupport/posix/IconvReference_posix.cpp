#include <iconv.h>

#include <string>

#include "testsupport/IconvReference.h"

namespace xlate {

bool IconvDecodeByte(std::uint32_t aCodePage, unsigned char aByte, char16_t& vUnit) {
  std::string name = "CP" + std::to_string(aCodePage);
  iconv_t cd = iconv_open("UTF-16LE", name.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char in[1] = {static_cast<char>(aByte)};
  unsigned char out[8];
  char* inPtr = in;
  char* outPtr = reinterpret_cast<char*>(out);
  std::size_t inLeft = 1, outLeft = sizeof out;
  std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  // Flush a character that a stateful decoder (1255, 1258) holds back.
  if (rc != static_cast<std::size_t>(-1)) iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
  iconv_close(cd);
  if (rc == static_cast<std::size_t>(-1) || sizeof out - outLeft != 2) return false;
  vUnit = static_cast<char16_t>(out[0] | (out[1] << 8));
  return true;
}

}  // namespace xlate
