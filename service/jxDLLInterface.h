#pragma once

#include <cstdint>
#include <memory>

#include "common/StringList.h"
#include "common/Types.h"
#include "platform/Platform.h"
#include "service/ZtaContract.h"

namespace xlate {

// The translation service: loads the translation library, binds its six
// entry points and offers each as a method on texts. Every failure is raised
// as an Exception with a readable message.
class TdllZTA {
 public:
  // Loads and binds the library; raises on any failure, after unloading a
  // library that was loaded.
  TdllZTA();
  // Unloads the library if Destroy has not; never raises.
  virtual ~TdllZTA();
  TdllZTA(const TdllZTA&) = delete;
  TdllZTA& operator=(const TdllZTA&) = delete;

  // Unloads the library; raises "Can't unload ..." when that fails.
  void Destroy();

  std::int32_t LastErrorCode();
  Text ErrorText(std::int32_t aErrorCode);
  Text Translate(const Text& aLangInit, const Text& aLangFrom, const Text& aLangTo,
                 const Text& aText);
  // Replaces vText with its translation, reusing its storage; on a failure
  // vText is left as it was.
  void TranslateInPlace(const Text& aLangInit, const Text& aLangFrom, const Text& aLangTo,
                        Text& vText);
  // Like Translate, but a failure comes back as false with its message.
  bool TranslateAndGetError(const Text& aLangInit, const Text& aLangFrom, const Text& aLangTo,
                            const Text& aText, Text& vTranslation, Text& vError);
  std::unique_ptr<TStringList> LanguageList(const Text& aLangInit);
  Text ToPOSTText(const Text& aText);
  Text FromPOSTText(const Text& aText);

 private:
  // A result in the buffer: valid until the next call into the library.
  struct Result {
    const char* data;
    std::size_t size;
  };
  template <typename Call>
  bool CallWithGrowingBuffer(const Call& aCall, Result& vResult, std::int32_t& vCode);
  template <typename Call>
  Result CallOrRaise(const Call& aCall, const Text& aFormat, const Text* aSubject);
  char* Buffer(std::uint32_t aSize);
  // A language code in the ANSI code page; the last few are kept, as a
  // file sends the same codes with every line.
  const ByteString& AnsiArgument(int aSlot, const Text& aText);
  void Unload();

  bool FinErrorText;
  LibraryHandle FDllHandle;
  TprocLastErrorCode FprocLastErrorCode = nullptr;
  TprocErrorText FprocErrorText = nullptr;
  TprocTranslate FprocTranslate = nullptr;
  TprocLaguageList FprocLaguageList = nullptr;
  TprocPostText FprocToPostText = nullptr;
  TprocPostText FprocFromPostText = nullptr;

  // The result buffer, kept from call to call while it is small.
  std::unique_ptr<char[]> FBuffer;
  std::uint32_t FBufferSize = 0;
  Text FArgumentTexts[3];
  ByteString FArgumentBytes[3];
  bool FArgumentKnown[3] = {false, false, false};
  ByteString FTextArgument;
};

// The largest result buffer the service offers: aMaxSize is a 32-bit
// Cardinal, and doubling past 2^31 would wrap around.
constexpr std::uint64_t kMaxResultBuffer = std::uint64_t{1} << 31;

}  // namespace xlate
