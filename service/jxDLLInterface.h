#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "common/StringList.h"
#include "common/Types.h"
#include "contract/ZtaContract.h"
#include "platform/GuardedMemory.h"
#include "platform/Platform.h"
#include "service/BatchCall.h"
#include "service/LinePart.h"
#include "service/TranslationRequest.h"

namespace xlate {

// The translation service: loads the translation library, binds its six
// entry points (and the optional ztaTranslateBatch) and offers each as a
// method on texts. It is made for one request: every translation is of
// its languages, and the list is in its LangInit. Every failure is raised
// as an TException with a readable message.
class TdllZTA {
 public:
  // Loads and binds the library through aPlatform, which must outlive the
  // service; raises on any failure, after unloading a library that was
  // loaded.
  TdllZTA(TPlatform& aPlatform, const TTranslationRequest& aRequest);
  // Unloads the library if Destroy has not; never raises.
  virtual ~TdllZTA();
  TdllZTA(const TdllZTA&) = delete;
  TdllZTA& operator=(const TdllZTA&) = delete;

  // Unloads the library; raises "Can't unload ..." when that fails.
  void Destroy();

  std::int32_t LastErrorCode();
  Text ErrorText(std::int32_t aErrorCode);
  // What the service was made for.
  const TTranslationRequest& Request() const { return FRequest; }
  // aText translated from the request's LangFrom into its LangTo.
  Text Translate(const Text& aText);
  // Translates aPart's lines in place: each becomes its translation, or
  // the message that Translate raises for it, so the lines come out as
  // line-by-line translation gives them. With the library's batch entry
  // point that is one batch call (TBatchCall); lines the batch gave no valid
  // record for (it faulted, failed, or answered what the batch contract does
  // not allow) are translated alone, as are all of them without it. Returns
  // how many lines it translated: all of aPart.Count, or fewer, at least
  // one, when the results of more would pass kPartResultBytes; the caller
  // goes on with the rest. vFailed tells how many of them failed.
  // aLinesDone, when given, is called with how many lines are done as they
  // are: a batch's at once. Only exceptions of other types leave it.
  std::size_t TranslateLines(const TLinePart& aPart, std::size_t& vFailed,
                             const std::function<void(std::size_t)>& aLinesDone = {});
  // The file the library was loaded from; empty when the system cannot tell.
  Text LibraryPath() { return FLibraries.LibraryPath(FDllHandle); }
  // The guard every call into the library runs under, for a run of calls
  // (TLibraryCallRun).
  TLibraryCallGuard& CallGuard() { return FGuard; }
  // The library's languages, in the request's LangInit.
  std::unique_ptr<TStringList> LanguageList();
  // Whether the library lists the directions it translates (ztaPairList),
  // and that list, one direction a line.
  bool HasPairList() const { return FprocPairList != nullptr; }
  std::unique_ptr<TStringList> PairList();

 protected:
  // A call of an entry point that writes its result into the buffer it is
  // given (aDest, of aMaxSize bytes); it returns the entry point's Boolean.
  using TBufferCall = std::function<std::uint32_t(char* aDest, std::uint32_t aMaxSize)>;
  // Calls aCall with a buffer that grows while the library says it is too
  // small, and returns its result decoded from aCodePage; a failure raises
  // aFormat filled with *aSubject, when given, and the library's error text.
  Text CallForText(const TBufferCall& aCall, std::uint32_t aCodePage, const char16_t* aFormat,
                   const Text* aSubject);

  TLibraryLoader& FLibraries;
  TSystemText& FText;
  TLibraryCallGuard& FGuard;
  // The library's entry points, bound when it is loaded: the POST text
  // conversions too, which the program does not call, as every library
  // exports them. A service made for the tests (testsupport/TestService.h)
  // calls those.
  TprocLastErrorCode FprocLastErrorCode = nullptr;
  TprocErrorText FprocErrorText = nullptr;
  TprocTranslate FprocTranslate = nullptr;
  TprocLaguageList FprocLaguageList = nullptr;
  TprocPostText FprocToPostText = nullptr;
  TprocPostText FprocFromPostText = nullptr;
  TprocTranslateBatch FprocTranslateBatch = nullptr;  // optional
  TprocPairList FprocPairList = nullptr;              // optional

 private:
  // Replaces vText with its translation, reusing its storage; on a failure
  // vText is left as it was.
  void TranslateInPlace(Text& vText);
  // Translates a text given as the UTF-8 bytes the library takes, which
  // must be what encoding the text gives, into vTranslation; on a failure
  // vTranslation is left as it was, and the message names the text.
  void TranslateUtf8(const char* aUtf8, std::size_t aSize, Text& vTranslation);
  // A result in the buffer: valid until the next call into the library.
  struct TResult {
    const char* Data;
    std::size_t Size;
  };
  template <typename Call>
  bool CallWithGrowingBuffer(const Call& aCall, TResult& vResult, std::int32_t& vCode);
  // aFormat is a literal: a text is made of it only for a failure.
  template <typename Call>
  TResult CallOrRaise(const Call& aCall, const char16_t* aFormat, const Text* aSubject);
  // The last aSize bytes of the result buffer, zeroed.
  char* Buffer(std::uint32_t aSize);
  // Translates aPart's first lines alone, until all are done or their
  // results pass kPartResultBytes; returns how many.
  std::size_t TranslateEachLine(const TLinePart& aPart, std::size_t& vFailed,
                                const std::function<void(std::size_t)>& aLinesDone);
  void Unload();
  Text Decode(std::uint32_t aCodePage, const TResult& aResult);

  TTranslationRequest FRequest;
  // The request's languages as the library takes them: in the ANSI code
  // page, made once for every call.
  ByteString FLangInit;
  ByteString FLangFrom;
  ByteString FLangTo;
  bool FinErrorText;
  LibraryHandle FDllHandle;

  // The result buffer, kept from call to call while it is small. The
  // library gets its last bytes, which end at a guard page; of those, the
  // last FBufferWritten may hold what earlier calls wrote.
  TGuardedMemory FBuffer;
  std::size_t FBufferWritten = 0;
  ByteString FTextArgument;

  // The batch protocol, with its buffers kept from batch to batch.
  TBatchCall FBatch;
};

}  // namespace xlate
