#pragma once

// What the program writes, as tests expect it byte for byte.

#include <string>

namespace xlate {

inline std::string ExpectedUsage(const std::string& aProgramName) {
  return "Usage:\r\n" + aProgramName +
         " DO=[TRANSLATE|LIST] LANGFROM=<LangCode> LANGTO=<LangCode> LANGINIT=<LangCode> "
         "ICODING=[ANSI|UTF8|UNICODE|OEM] OCODING=[ANSI|UTF8|UNICODE|OEM] TEXT=<Text> "
         "IFILE=<FileName> OFILE=<FileName>\r\n";
}

// The error report around a message.
inline std::string ExpectedReport(const std::string& aMessage, const std::string& aProgramName) {
  return "Error:\r\n" + aMessage + "\r\n\r\nUsage:\r\n" + ExpectedUsage(aProgramName);
}

// UTF-16 little-endian bytes of a text.
inline std::string Utf16Bytes(const std::u16string& aText) {
  std::string bytes;
  for (char16_t unit : aText) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

}  // namespace xlate
