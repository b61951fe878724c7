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
#include "service/TranslationRequest.h"

namespace xlate {

// A line's result as the UTF-8 bytes the library gave (Data, Size), held
// in the service's buffer until its next call into the library; Data is
// null when the result is the line's text instead. Sent: the bytes are
// the very ones sent for the line.
struct TUtf8Result {
  const char* Data = nullptr;
  std::uint32_t Size = 0;  // a batch's whole answer is smaller
  bool Sent = false;
};

// Lines given as the UTF-8 bytes the library takes, each followed by a
// NUL and the next line right after it: a line starts at Starts[i], and
// ends one byte before Starts[i + 1]. The starts are what a batch call
// takes as its texts.
struct TUtf8Lines {
  const char* const* Starts = nullptr;

  const char* Line(std::size_t aIndex) const { return Starts[aIndex]; }
  std::size_t Size(std::size_t aIndex) const {
    return static_cast<std::size_t>(Starts[aIndex + 1] - Starts[aIndex]) - 1;
  }
  // The lines from aIndex on.
  TUtf8Lines From(std::size_t aIndex) const { return {Starts + aIndex}; }
};

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
  // Translates the first lines of vLines in place: each becomes its
  // translation, or the message that Translate raises for it, so the lines
  // come out as line-by-line translation gives them. aUtf8Lines, when
  // given, holds the same lines as the UTF-8 bytes the library takes
  // (vLines' texts are then not read, and a line's text is set only where
  // its result is a text). With the library's batch entry point
  // that is one batch call; lines the batch gave no valid record for (it
  // faulted, failed, or answered what the batch contract does not allow)
  // are translated alone, as are all of them without it. Returns how many
  // lines it translated: all aCount, or fewer, at least one, when the
  // results of more would pass kPartResultBytes; the caller goes on with
  // the rest. vFailed tells how many of them failed. aLinesDone, when given,
  // is called with how many lines are done as they are: a batch's at once.
  // vUtf8Results, when given, takes for each line the result the batch gave
  // it, as its UTF-8 bytes, which spares decoding them where they are wanted
  // as UTF-8 (the line's text is then not set), and a null Data for a line
  // whose result is its text. Only exceptions of other types leave it.
  std::size_t TranslateLines(Text* vLines, std::size_t aCount, const TUtf8Lines* aUtf8Lines,
                             std::size_t& vFailed,
                             const std::function<void(std::size_t)>& aLinesDone = {},
                             TUtf8Result* vUtf8Results = nullptr);
  // The file the library was loaded from; empty when the system cannot tell.
  Text LibraryPath() { return FLibraries.LibraryPath(FDllHandle); }
  // The guard every call into the library runs under, for a run of calls
  // (TLibraryCallRun).
  TLibraryCallGuard& CallGuard() { return FGuard; }
  // The library's languages, in the request's LangInit.
  std::unique_ptr<TStringList> LanguageList();

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
  // The batch call for TranslateLines, for the first vCount lines or fewer
  // of them (vCount tells how many it took). Returns how many of the first
  // of those got their result from the batch: all of them, or, after a
  // failure, the ones a partial answer gave; the others are left as they
  // were, to be translated alone.
  std::size_t TranslateBatch(Text* vLines, std::size_t& vCount, const TUtf8Lines* aUtf8Lines,
                             std::size_t& vFailed, TUtf8Result* vUtf8Results);
  // Reads the records the library wrote into the batch's aSize bytes at
  // aData into FBatchRecords: aCount records for a true answer, or, when
  // aPartial, those before the end mark of a partial answer (fewer than
  // aCount). False when the bytes are not such an answer. With aSent and
  // vResults, the result of each record of code 0 is set on the way, as
  // TranslateLines gives it for lines given as UTF-8 (aSent); the records
  // of other codes are counted (FBatchFailures).
  bool ReadBatchRecords(const char* aData, std::size_t aSize, std::size_t aCount, bool aPartial,
                        const TUtf8Lines* aSent = nullptr, TUtf8Result* vResults = nullptr);
  // Translates the first lines alone, until all aCount are done or their
  // results pass kPartResultBytes; returns how many.
  std::size_t TranslateEachLine(Text* vLines, std::size_t aCount, const TUtf8Lines* aUtf8Lines,
                                std::size_t& vFailed,
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

  // The batch's texts, each in UTF-8 with its NUL, and where each starts;
  // its result buffer, kept from batch to batch (the size last given to the
  // library is its last FBatchBufferSize bytes, never more than
  // kPartResultBytes); the records read from it; and the most lines a batch
  // takes, lowered when the records of more did not fit.
  // Sixteen bytes: a batch of short lines has many of them.
  struct TBatchRecord {
    const char* Text;
    std::uint32_t Size;  // the batch's buffer is smaller
    std::uint32_t Code;
  };
  ByteString FBatchTexts;
  std::vector<std::size_t> FBatchStarts;
  std::vector<const char*> FBatchPointers;
  TGuardedMemory FBatchBuffer;
  std::uint32_t FBatchBufferSize = 0;
  std::vector<TBatchRecord> FBatchRecords;
  std::size_t FBatchLineLimit = SIZE_MAX;
  // From here to the buffer's end, the buffer is known to hold only the
  // byte it is filled with before a call: the rest of the last answer that
  // was read and found valid; null when nothing is known. Only the bytes
  // before it are filled again.
  const char* FBatchCleanFrom = nullptr;
  std::size_t FBatchAnswerBytes = 0;  // of the last answer read, records and end mark
  std::size_t FBatchFailures = 0;     // its records of a code other than 0
};

// The largest result buffer the service offers: aMaxSize is a 32-bit
// Cardinal, and doubling past 2^31 would wrap around.
constexpr std::uint64_t kMaxResultBuffer = std::uint64_t{1} << 31;

// The most bytes of results gathered before the lines so far are handed
// back: the largest buffer a batch gets, and the texts of lines translated
// alone. Only a single line's result, translated alone, may be larger.
constexpr std::size_t kPartResultBytes = std::size_t{4} << 20;

}  // namespace xlate
