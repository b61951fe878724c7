#include "service/jxDLLInterface.h"

#include <algorithm>
#include <cstring>

#include "common/CodePages.h"
#include "common/Conversions.h"
#include "common/Exception.h"
#include "platform/LibraryCallGuard.h"

namespace xlate {

namespace {

// Reads a Boolean result from the low 8 bits only.
inline bool LibraryBoolean(std::uint32_t aResult) { return (aResult & 0xFF) != 0; }

Text Ascii(const char* aText) { return Text(aText, aText + std::strlen(aText)); }

template <typename Proc>
void Bind(TLibraryLoader& aLibraries, TSystemText& aText, LibraryHandle aLibrary,
          const Text& aLibraryName, const char* aEntryName, Proc& vProc) {
  void* address = nullptr;
  if (const TErrorCode code = aLibraries.GetProcAddress(aLibrary, aEntryName, address)) {
    throw TException(Format(u"Can't find %s in %s because of \"%s\"",
                            {Ascii(aEntryName), aLibraryName, SystemErrorText(aText, code)}));
  }
  vProc = reinterpret_cast<Proc>(address);
}

// Calls into the library with its processor faults contained: a fault
// becomes an TException with the fault's message.
template <typename Call>
std::uint32_t CallLibrary(TLibraryCallGuard& aGuard, const Call& aCall) {
  std::uint32_t result = 0;
  auto run = [&] { result = aCall(); };
  TFaultInfo fault;
  if (!aGuard.CallGuarded(run, fault)) throw TException(FaultMessage(fault));
  return result;
}

// A buffer larger than this is given back after its call.
constexpr std::uint32_t kKeptBuffer = 64 * 1024;

}  // namespace

Text TdllZTA::Decode(std::uint32_t aCodePage, const TResult& aResult) {
  return FText.MultiByteToText(aCodePage, aResult.Data, aResult.Size);
}

TdllZTA::TdllZTA(TPlatform& aPlatform, const TTranslationRequest& aRequest)
    : FLibraries(aPlatform.Libraries()),
      FText(aPlatform.SystemText()),
      FGuard(aPlatform.CallGuard()),
      FRequest(aRequest),
      FLangInit(TextToAnsi(FText, aRequest.LangInit)),
      FLangFrom(TextToAnsi(FText, aRequest.LangFrom)),
      FLangTo(TextToAnsi(FText, aRequest.LangTo)),
      FinErrorText(false),
      FDllHandle(0),
      FBatch(FText) {
  FGuard.Install();
  const Text libraryName = FLibraries.LibraryFileName();
  if (const TErrorCode code = FLibraries.LoadLibrary(libraryName, FDllHandle)) {
    FDllHandle = 0;
    throw TException(
        Format(u"Can't load %s because of \"%s\"", {libraryName, SystemErrorText(FText, code)}));
  }
  try {
    Bind(FLibraries, FText, FDllHandle, libraryName, "ztaLastErrorCode", FprocLastErrorCode);
    Bind(FLibraries, FText, FDllHandle, libraryName, "ztaErrorText", FprocErrorText);
    Bind(FLibraries, FText, FDllHandle, libraryName, "ztaTranslate", FprocTranslate);
    Bind(FLibraries, FText, FDllHandle, libraryName, "ztaLaguageList", FprocLaguageList);
    Bind(FLibraries, FText, FDllHandle, libraryName, "ztaToPostText", FprocToPostText);
    Bind(FLibraries, FText, FDllHandle, libraryName, "ztaFromPostText", FprocFromPostText);
    // Optional: without it every line is translated alone.
    void* batch = nullptr;
    if (FLibraries.GetProcAddress(FDllHandle, "ztaTranslateBatch", batch) != kSuccess) {
      batch = nullptr;
    }
    FprocTranslateBatch = reinterpret_cast<TprocTranslateBatch>(batch);
    void* pairs = nullptr;
    if (FLibraries.GetProcAddress(FDllHandle, "ztaPairList", pairs) != kSuccess) pairs = nullptr;
    FprocPairList = reinterpret_cast<TprocPairList>(pairs);
  } catch (const TException&) {
    // A failed unload replaces the binding failure, as it does in Destroy.
    Unload();
    throw;
  }
}

TdllZTA::~TdllZTA() {
  if (FDllHandle != 0) FLibraries.FreeLibrary(FDllHandle);
}

void TdllZTA::Destroy() { Unload(); }

void TdllZTA::Unload() {
  if (FDllHandle == 0) return;
  LibraryHandle handle = FDllHandle;
  FDllHandle = 0;
  if (const TErrorCode code = FLibraries.FreeLibrary(handle)) {
    throw TException(Format(u"Can't unload %s because of \"%s\"",
                            {FLibraries.LibraryFileName(), SystemErrorText(FText, code)}));
  }
}

std::int32_t TdllZTA::LastErrorCode() {
  return static_cast<std::int32_t>(CallLibrary(FGuard, [this] { return FprocLastErrorCode(); }));
}

char* TdllZTA::Buffer(std::uint32_t aSize) {
  if (aSize > FBuffer.Capacity()) {
    if (!FBuffer.Reserve(aSize)) throw TException(u"Out of memory");
    FBufferWritten = 0;  // new memory: zeros
  }
  // Zeros, so that a result is never read past what the library wrote,
  // into what an earlier call left there.
  const std::size_t written = std::min<std::size_t>(aSize, FBufferWritten);
  std::memset(FBuffer.Last(written), 0, written);
  FBufferWritten = std::max<std::size_t>(FBufferWritten, aSize);
  return FBuffer.Last(aSize);
}

// Calls the library with buffers of 1024, 2048, ... bytes while it reports
// code 1 (too small), up to kMaxResultBuffer. True with the result, or false
// with the failure code.
template <typename Call>
bool TdllZTA::CallWithGrowingBuffer(const Call& aCall, TResult& vResult, std::int32_t& vCode) {
  if (FBuffer.Capacity() > kKeptBuffer) {
    FBuffer.Release();
    FBufferWritten = 0;
  }
  std::uint64_t capacity = kFirstResultBuffer;
  for (;;) {
    const auto size = static_cast<std::uint32_t>(capacity);
    char* data = Buffer(size);
    if (LibraryBoolean(CallLibrary(FGuard, [&] { return aCall(data, size); }))) {
      // The result up to its first NUL, but never past the buffer.
      const void* nul = std::memchr(data, '\0', size);
      vResult.Data = data;
      vResult.Size = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - data) : size;
      return true;
    }
    vCode = LastErrorCode();
    if (static_cast<std::uint32_t>(vCode) != ZTA_CODE_BUFFER_TOO_SMALL) return false;
    capacity *= 2;
    // Still too small at the largest buffer: the call fails with code 1, and
    // the library's own text for it says what it wanted.
    if (capacity > kMaxResultBuffer) return false;
  }
}

template <typename Call>
TdllZTA::TResult TdllZTA::CallOrRaise(const Call& aCall, const char16_t* aFormat,
                                      const Text* aSubject) {
  TResult result{};
  std::int32_t code = 0;
  if (CallWithGrowingBuffer(aCall, result, code)) return result;
  Text reason = ErrorText(code);
  if (aSubject) throw TException(Format(aFormat, {*aSubject, reason}));
  throw TException(Format(aFormat, {reason}));
}

Text TdllZTA::ErrorText(std::int32_t aErrorCode) {
  // Restores FinErrorText on every way out.
  struct TRestore {
    bool& Flag;
    bool Value;
    ~TRestore() { Flag = Value; }
  } restore{FinErrorText, FinErrorText};
  FinErrorText = true;

  TResult result{};
  std::int32_t code = 0;
  auto call = [&](char* aBuffer, std::uint32_t aMaxSize) {
    return FprocErrorText(static_cast<std::uint32_t>(aErrorCode), aBuffer, aMaxSize);
  };
  if (CallWithGrowingBuffer(call, result, code)) return Decode(FText.AnsiCodePage(), result);
  if (restore.Value) {
    throw TException(Format(u"Can't get error text because of error code = %d", {code}));
  }
  throw TException(Format(u"Can't get error text because of \"%s\"", {ErrorText(code)}));
}

Text TdllZTA::Translate(const Text& aText) {
  Text translation = aText;
  TranslateInPlace(translation);
  return translation;
}

void TdllZTA::TranslateInPlace(Text& vText) {
  const char* langInit = FLangInit.c_str();
  const char* langFrom = FLangFrom.c_str();
  const char* langTo = FLangTo.c_str();
  FTextArgument.clear();
  FText.AppendTextAsMultiByte(kCodePageUtf8, vText.data(), vText.size(), FTextArgument);
  const char* text = FTextArgument.c_str();
  auto call = [&](char* aDest, std::uint32_t aMaxSize) {
    return FprocTranslate(langInit, langFrom, langTo, text, aDest, aMaxSize);
  };
  TResult result = CallOrRaise(call, kTranslateFailure, &vText);
  FText.AssignMultiByteAsText(kCodePageUtf8, result.Data, result.Size, vText);
}

void TdllZTA::TranslateUtf8(const char* aUtf8, std::size_t aSize, Text& vTranslation) {
  const char* langInit = FLangInit.c_str();
  const char* langFrom = FLangFrom.c_str();
  const char* langTo = FLangTo.c_str();
  const char* text = aUtf8;
  auto call = [&](char* aDest, std::uint32_t aMaxSize) {
    return FprocTranslate(langInit, langFrom, langTo, text, aDest, aMaxSize);
  };
  TResult result{};
  std::int32_t code = 0;
  if (!CallWithGrowingBuffer(call, result, code)) {
    Text reason = ErrorText(code);
    // The text itself is needed only to name it.
    const Text subject = FText.MultiByteToText(kCodePageUtf8, aUtf8, aSize);
    throw TException(Format(kTranslateFailure, {subject, reason}));
  }
  FText.AssignMultiByteAsText(kCodePageUtf8, result.Data, result.Size, vTranslation);
}

std::size_t TdllZTA::TranslateLines(const TLinePart& aPart, std::size_t& vFailed,
                                    const std::function<void(std::size_t)>& aLinesDone) {
  vFailed = 0;
  std::size_t count = aPart.Count;
  std::size_t done = 0;
  if (count > 0 && FprocTranslateBatch != nullptr) {
    const TBatchCall::TLibraryCall call = [this](std::uint32_t aCount, const char* const* aTexts,
                                                 char* aData, std::uint32_t aSize,
                                                 std::uint32_t& vCode) {
      if (LibraryBoolean(CallLibrary(FGuard, [&] {
            return FprocTranslateBatch(FLangInit.c_str(), FLangFrom.c_str(), FLangTo.c_str(),
                                       aCount, aTexts, aData, aSize);
          }))) {
        return true;
      }
      vCode = static_cast<std::uint32_t>(LastErrorCode());
      return false;
    };
    done = FBatch.Translate(aPart, count, vFailed, call);
    if (aLinesDone && done > 0) aLinesDone(done);
  }
  // What the batch left, one line at a time: a batch that failed as a
  // whole failed for some line it did not give a record, and the contract
  // has each of them translated alone. Without the batch entry point, that
  // is every line; their results are texts.
  TLinePart rest = aPart.From(done);
  rest.Count = count - done;
  const std::size_t alone = TranslateEachLine(rest, vFailed, aLinesDone);
  if (aPart.Utf8ResultsWanted()) {
    for (std::size_t i = done; i < done + alone; ++i) aPart.Utf8Results[i] = TUtf8Result();
  }
  return done + alone;
}

std::size_t TdllZTA::TranslateEachLine(const TLinePart& aPart, std::size_t& vFailed,
                                       const std::function<void(std::size_t)>& aLinesDone) {
  std::size_t held = 0;
  std::size_t i = 0;
  for (; i < aPart.Count && held < kPartResultBytes; ++i) {
    Text& line = aPart.Lines[i];
    try {
      if (aPart.Utf8Given()) {
        TranslateUtf8(aPart.Utf8.Line(i), aPart.Utf8.Size(i), line);
      } else {
        TranslateInPlace(line);
      }
    } catch (const TException& e) {
      if (aPart.Failures != nullptr) {
        // The line is unchanged by a failed call; given as UTF-8, it has no text yet.
        NoteFailure(aPart, i,
                    aPart.Utf8Given() ? FText.MultiByteToText(kCodePageUtf8, aPart.Utf8.Line(i),
                                                              aPart.Utf8.Size(i))
                                      : line,
                    e.Message());
      }
      line = e.Message();
      ++vFailed;
    }
    held += line.size() * sizeof(char16_t);
    if (aLinesDone) aLinesDone(1);
  }
  return i;
}

std::unique_ptr<TStringList> TdllZTA::LanguageList() {
  auto list = std::make_unique<TStringList>();
  auto call = [&](char* aDest, std::uint32_t aMaxSize) {
    return FprocLaguageList(FLangInit.c_str(), aDest, aMaxSize);
  };
  list->SetText(CallForText(call, kCodePageUtf8,
                            u"Can't get list of known languges because of \"%s\"", nullptr));
  return list;
}

std::unique_ptr<TStringList> TdllZTA::PairList() {
  auto list = std::make_unique<TStringList>();
  if (FprocPairList == nullptr) return list;
  auto call = [&](char* aDest, std::uint32_t aMaxSize) {
    return FprocPairList(FLangInit.c_str(), aDest, aMaxSize);
  };
  list->SetText(CallForText(
      call, kCodePageUtf8, u"Can't get list of translation directions because of \"%s\"", nullptr));
  return list;
}

Text TdllZTA::CallForText(const TBufferCall& aCall, std::uint32_t aCodePage,
                          const char16_t* aFormat, const Text* aSubject) {
  return Decode(aCodePage, CallOrRaise(aCall, aFormat, aSubject));
}

}  // namespace xlate
