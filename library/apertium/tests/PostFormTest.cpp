// The POST text form: encoding, decoding, and their round trip.
#include <gtest/gtest.h>

#include "text/PostForm.h"

namespace zta {
namespace {

TEST(PostForm, EncodesAsAnHtmlFormDoes) {
  EXPECT_EQ(toPostText("The house is big."), "The+house+is+big.");
  EXPECT_EQ(toPostText("a&b=c/d?e%f+g"), "a%26b%3Dc%2Fd%3Fe%25f%2Bg");
  EXPECT_EQ(toPostText("*-._~"), "*-._%7E");
  EXPECT_EQ(toPostText("ni\xC3\xB1o\r\n"), "ni%C3%B1o%0D%0A");
  EXPECT_EQ(toPostText(""), "");
}

TEST(PostForm, DecodesPlusAndHexInEitherCase) {
  EXPECT_EQ(fromPostText("La+casa%2c+%C3%b1"), "La casa, \xC3\xB1");
  EXPECT_EQ(fromPostText("100%25"), "100%");
  EXPECT_EQ(fromPostText(""), "");
}

TEST(PostForm, RejectsAPercentWithoutTwoHexDigits) {
  for (const char* bad : {"%", "a%4", "%zz", "%4g", "end%"}) {
    EXPECT_FALSE(fromPostText(bad)) << bad;
  }
}

TEST(PostForm, RoundTripsEveryByte) {
  std::string all;
  for (int c = 1; c < 256; ++c) all.push_back(static_cast<char>(c));
  const std::string encoded = toPostText(all);
  for (char c : encoded) {
    EXPECT_TRUE((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                std::string("*-._+%").find(c) != std::string::npos)
        << "not form-safe: " << c;
  }
  EXPECT_EQ(fromPostText(encoded), all);
}

}  // namespace
}  // namespace zta
