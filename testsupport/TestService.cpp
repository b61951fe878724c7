#include "testsupport/TestService.h"

#include "common/CodePages.h"
#include "common/Conversions.h"
#include "common/Exception.h"

namespace xlate {

bool TTestService::TranslateAndGetError(const Text& aText, Text& vTranslation, Text& vError) {
  vTranslation.clear();
  vError.clear();
  try {
    vTranslation = Translate(aText);
    return true;
  } catch (const TException& e) {
    vError = e.Message();
    return false;
  }
}

Text TTestService::ToPOSTText(const Text& aText) {
  const ByteString text = TextToUtf8(FText, aText);
  auto call = [&](char* aDest, std::uint32_t aMaxSize) {
    return FprocToPostText(text.c_str(), aDest, aMaxSize);
  };
  return CallForText(call, FText.AnsiCodePage(),
                     u"Can't get POST Text of text \"%s\" because of \"%s\"", &aText);
}

Text TTestService::FromPOSTText(const Text& aText) {
  const ByteString text = TextToAnsi(FText, aText);
  auto call = [&](char* aDest, std::uint32_t aMaxSize) {
    return FprocFromPostText(text.c_str(), aDest, aMaxSize);
  };
  return CallForText(call, kCodePageUtf8, u"Can't get Text of POST text \"%s\" because of \"%s\"",
                     &aText);
}

}  // namespace xlate
