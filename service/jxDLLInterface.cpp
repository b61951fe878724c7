#include "service/jxDLLInterface.h"

#include <algorithm>
#include <cstring>

#include "common/CodePages.h"
#include "common/Conversions.h"
#include "common/Exception.h"
#include "platform/LibraryCallGuard.h"

namespace xlate {

namespace {

constexpr std::uint32_t kFirstCapacity = 1024;

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

constexpr char16_t kTranslateFailure[] = u"Can't get translation of text \"%s\" because of \"%s\"";

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
      FDllHandle(0) {
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
  std::uint64_t capacity = kFirstCapacity;
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

std::size_t TdllZTA::TranslateLines(Text* vLines, std::size_t aCount, const TUtf8Lines* aUtf8Lines,
                                    std::size_t& vFailed,
                                    const std::function<void(std::size_t)>& aLinesDone,
                                    TUtf8Result* vUtf8Results) {
  vFailed = 0;
  std::size_t count = aCount;
  std::size_t done = 0;
  if (count > 0 && FprocTranslateBatch != nullptr) {
    done = TranslateBatch(vLines, count, aUtf8Lines, vFailed, vUtf8Results);
    if (aLinesDone && done > 0) aLinesDone(done);
  }
  // What the batch left, one line at a time: a batch that failed as a
  // whole failed for some line it did not give a record, and the contract
  // has each of them translated alone. Without the batch entry point, that
  // is every line; their results are texts.
  TUtf8Lines rest;
  if (aUtf8Lines != nullptr) rest = aUtf8Lines->From(done);
  const std::size_t alone = TranslateEachLine(
      vLines + done, count - done, aUtf8Lines != nullptr ? &rest : nullptr, vFailed, aLinesDone);
  if (vUtf8Results != nullptr) {
    for (std::size_t i = done; i < done + alone; ++i) vUtf8Results[i] = TUtf8Result();
  }
  return done + alone;
}

std::size_t TdllZTA::TranslateEachLine(Text* vLines, std::size_t aCount,
                                       const TUtf8Lines* aUtf8Lines, std::size_t& vFailed,
                                       const std::function<void(std::size_t)>& aLinesDone) {
  std::size_t held = 0;
  std::size_t i = 0;
  for (; i < aCount && held < kPartResultBytes; ++i) {
    try {
      if (aUtf8Lines != nullptr) {
        TranslateUtf8(aUtf8Lines->Line(i), aUtf8Lines->Size(i), vLines[i]);
      } else {
        TranslateInPlace(vLines[i]);
      }
    } catch (const TException& e) {
      vLines[i] = e.Message();
      ++vFailed;
    }
    held += vLines[i].size() * sizeof(char16_t);
    if (aLinesDone) aLinesDone(1);
  }
  return i;
}

namespace {

// The byte the batch buffer is filled with before each call, so that what
// the library wrote can be told from what it did not: every record ends
// with a NUL, so the last byte of an answer is never this one.
constexpr char kUnwritten = static_cast<char>(0xFF);

// Whether aSize bytes at aData are all kUnwritten: the first is, and each
// equals the next.
bool Unwritten(const char* aData, std::size_t aSize) {
  return aSize == 0 || (aData[0] == kUnwritten && std::memcmp(aData, aData + 1, aSize - 1) == 0);
}

// Whether a record's text is the very bytes sent for its line.
bool SameBytes(const char* aText, std::size_t aSize, const char* aSent, std::size_t aSentSize) {
  return aSize == aSentSize && (aSize == 0 || std::memcmp(aText, aSent, aSize) == 0);
}

}  // namespace

std::size_t TdllZTA::TranslateBatch(Text* vLines, std::size_t& vCount, const TUtf8Lines* aUtf8Lines,
                                    std::size_t& vFailed, TUtf8Result* vUtf8Results) {
  // The texts one after the other, each with its NUL; the pointers are
  // taken once all are in place, as appending may move them. A batch takes
  // no more lines than the last one whose records did not fit had, nor so
  // many that their texts alone, as records, would fill half of the
  // largest buffer of a batch; but one line at least.
  // Lines given as UTF-8 are in place already, each with its NUL.
  std::size_t count = std::min({vCount, FBatchLineLimit, std::size_t{UINT32_MAX}});
  std::size_t textBytes = 0;
  FBatchTexts.clear();
  FBatchStarts.clear();
  FBatchPointers.clear();
  FBatchPointers.reserve(count);
  if (aUtf8Lines != nullptr) {
    // The lines' bytes are in place: the batch's size is known for any
    // number of lines, and it grows with the number, so the most that fit
    // are found by halving; at least one goes.
    const auto fits = [aUtf8Lines](std::size_t aLines) {
      const auto bytes =
          static_cast<std::size_t>(aUtf8Lines->Starts[aLines] - aUtf8Lines->Starts[0]);
      return 2 * (std::uint64_t{ZTA_BATCH_CODE_BYTES} * aLines + bytes) <= kPartResultBytes;
    };
    if (count > 1 && !fits(count)) {
      std::size_t low = 1;  // fits, or is the one line that goes anyway
      std::size_t high = count;
      while (high - low > 1) {
        const std::size_t middle = low + (high - low) / 2;
        (fits(middle) ? low : high) = middle;
      }
      count = low;
    }
    textBytes = static_cast<std::size_t>(aUtf8Lines->Starts[count] - aUtf8Lines->Starts[0]);
  }
  for (std::size_t i = 0; aUtf8Lines == nullptr && i < count; ++i) {
    const std::size_t start = FBatchTexts.size();
    if (!vLines[i].empty()) {
      FText.AppendTextAsMultiByte(kCodePageUtf8, vLines[i].data(), vLines[i].size(), FBatchTexts);
    }
    FBatchTexts.push_back('\0');
    textBytes = FBatchTexts.size();
    if (i > 0 &&
        2 * (std::uint64_t{ZTA_BATCH_CODE_BYTES} * (i + 1) + textBytes) > kPartResultBytes) {
      FBatchTexts.resize(start);
      textBytes = start;
      count = i;
      break;
    }
    FBatchStarts.push_back(start);
  }
  for (std::size_t start : FBatchStarts) FBatchPointers.push_back(FBatchTexts.data() + start);
  // Lines given as UTF-8 are their own texts.
  const char* const* texts = aUtf8Lines != nullptr ? aUtf8Lines->Starts : FBatchPointers.data();

  // A first buffer twice the size of the texts as records, so that the
  // translations usually fit at once.
  const std::uint64_t recordBytes = std::uint64_t{ZTA_BATCH_CODE_BYTES} * count + textBytes;
  std::uint64_t capacity = kFirstCapacity;
  while (capacity < 2 * recordBytes && capacity < kMaxResultBuffer) capacity *= 2;
  if (FBatchBufferSize > capacity) capacity = FBatchBufferSize;
  vCount = count;
  // A line too long for the largest buffer of a batch is translated alone.
  if (capacity > kPartResultBytes) return 0;
  std::size_t done = 0;
  // Lines given as UTF-8 whose results are taken as UTF-8 get them as the
  // records are read: no second pass over the records.
  const bool resultsOnTheWay = aUtf8Lines != nullptr && vUtf8Results != nullptr;
  const TUtf8Lines* sent = resultsOnTheWay ? aUtf8Lines : nullptr;
  TUtf8Result* const results = resultsOnTheWay ? vUtf8Results : nullptr;
  for (;;) {
    // New memory holds nothing known.
    if (capacity > FBatchBuffer.Capacity()) FBatchCleanFrom = nullptr;
    if (!FBatchBuffer.Reserve(static_cast<std::size_t>(capacity))) {
      FBatchBufferSize = 0;
      break;
    }
    FBatchBufferSize = static_cast<std::uint32_t>(capacity);
    const std::uint32_t size = FBatchBufferSize;
    char* data = FBatchBuffer.Last(size);
    // Filled but where the last valid answer left it untouched: with many
    // short lines, filling all of it took as long as the lines.
    const std::size_t dirty = FBatchCleanFrom != nullptr && FBatchCleanFrom >= data
                                  ? static_cast<std::size_t>(FBatchCleanFrom - data)
                                  : size;
    std::memset(data, kUnwritten, dirty);
    FBatchCleanFrom = nullptr;  // until the answer is found valid
    const auto count32 = static_cast<std::uint32_t>(count);
    try {
      if (LibraryBoolean(CallLibrary(FGuard, [&] {
            return FprocTranslateBatch(FLangInit.c_str(), FLangFrom.c_str(), FLangTo.c_str(),
                                       count32, texts, data, size);
          }))) {
        if (ReadBatchRecords(data, size, count, false, sent, results)) {
          done = count;
          FBatchCleanFrom = data + FBatchAnswerBytes;
        }
        break;
      }
      if (static_cast<std::uint32_t>(LastErrorCode()) != ZTA_CODE_BUFFER_TOO_SMALL) {
        // Failed as a whole; a partial answer still gives the lines it has.
        if (ReadBatchRecords(data, size, count, true, sent, results)) {
          done = FBatchRecords.size();
        }
        break;
      }
    } catch (const TException&) {
      break;  // a fault: the lines are translated alone
    }
    if (capacity * 2 <= kPartResultBytes) {
      capacity *= 2;
    } else if (count > 1) {
      // Too many lines for the largest buffer of a batch: the first half,
      // whose texts and pointers are in place already.
      count /= 2;
      FBatchLineLimit = count;
    } else {
      break;  // one line whose result is that long: it is translated alone
    }
  }
  vCount = count;
  if (done == count && FBatchLineLimit == count) {
    // Results got smaller again: the next batch may take more lines.
    const TBatchRecord& last = FBatchRecords.back();
    const char* records = FBatchBuffer.Last(FBatchBufferSize);
    if (static_cast<std::size_t>(last.Text + last.Size + 1 - records) <= kPartResultBytes / 4) {
      FBatchLineLimit = count * 2;
    }
  }
  const std::uint32_t ansi = FText.AnsiCodePage();
  // The bytes made of a text line for the batch, each ending where the
  // next begins.
  const auto sentSize = [this](std::size_t aLine) {
    const std::size_t next =
        aLine + 1 < FBatchStarts.size() ? FBatchStarts[aLine + 1] : FBatchTexts.size();
    return next - FBatchStarts[aLine] - 1;
  };
  // Whether a result is the very bytes sent for its text line, and those
  // give the line's text back: U+FFFD (EF BF BD) may have stood for an
  // unpaired surrogate of the text.
  const auto sameAsSent = [this, &sentSize](std::size_t aLine, const TBatchRecord& aRecord) {
    const char* sent = FBatchTexts.data() + FBatchStarts[aLine];
    if (!SameBytes(aRecord.Text, aRecord.Size, sent, sentSize(aLine))) return false;
    const char* const end = sent + aRecord.Size;
    for (const char* at = sent;; ++at) {
      at = static_cast<const char*>(std::memchr(at, '\xEF', static_cast<std::size_t>(end - at)));
      if (at == nullptr) return true;
      if (end - at >= 3 && at[1] == '\xBF' && at[2] == '\xBD') return false;
    }
  };
  for (std::size_t i = 0; i < done && !(resultsOnTheWay && FBatchFailures == 0); ++i) {
    const TBatchRecord& record = FBatchRecords[i];
    if (record.Code == 0 && resultsOnTheWay) continue;  // set as it was read
    if (record.Code == 0) {
      // A line the library gave back unchanged keeps its text: decoding
      // the bytes that were made of it would give it again. A line given
      // as UTF-8 bytes has no text yet.
      if (vUtf8Results != nullptr) {
        // A text line (lines given as UTF-8 got theirs as the records were
        // read).
        vUtf8Results[i] = {
            record.Text, record.Size,
            SameBytes(record.Text, record.Size, FBatchTexts.data() + FBatchStarts[i], sentSize(i))};
      } else if (record.Size == 0) {
        vLines[i].clear();
      } else if (aUtf8Lines != nullptr || !sameAsSent(i, record)) {
        FText.AssignMultiByteAsText(kCodePageUtf8, record.Text, record.Size, vLines[i]);
      }
    } else {
      if (vUtf8Results != nullptr) vUtf8Results[i] = TUtf8Result();
      // A line given as UTF-8 bytes is made a text only to name it.
      const Text subject =
          aUtf8Lines != nullptr
              ? FText.MultiByteToText(kCodePageUtf8, aUtf8Lines->Line(i), aUtf8Lines->Size(i))
              : vLines[i];
      vLines[i] = Format(kTranslateFailure,
                         {subject, FText.MultiByteToText(ansi, record.Text, record.Size)});
      ++vFailed;
    }
  }
  return done;
}

// Records are read only from what the library wrote: a text ends at the
// first NUL, so none reaches into bytes it left unwritten (they hold no
// NUL), and the bytes after the last record must be unwritten. Fewer
// records than asked for, an untouched buffer, or a NUL inside a text (its
// rest would be read as the next records, and some of what was written
// would be left over) so make the answer invalid.
bool TdllZTA::ReadBatchRecords(const char* aData, std::size_t aSize, std::size_t aCount,
                               bool aPartial, const TUtf8Lines* aSent, TUtf8Result* vResults) {
  FBatchFailures = 0;
  // Room for every record at once; the records read are counted, and the
  // rest cut off at the end.
  if (FBatchRecords.size() < aCount) FBatchRecords.resize(aCount);
  TBatchRecord* const records = FBatchRecords.data();
  std::size_t read = 0;
  const auto keep = [this, &read](bool aValid) {
    FBatchRecords.resize(read);
    return aValid;
  };
  std::size_t at = 0;
  for (;;) {
    if (!aPartial && read == aCount) break;
    if (aPartial && read == aCount) return keep(false);  // no end mark
    if (aSize - at < ZTA_BATCH_CODE_BYTES + 1) return keep(false);
    const auto* code = reinterpret_cast<const unsigned char*>(aData + at);
    const std::uint32_t value =
        code[0] | (code[1] << 8) | (std::uint32_t{code[2]} << 16) | (std::uint32_t{code[3]} << 24);
    at += ZTA_BATCH_CODE_BYTES;
    // An empty text, as in a file of short lines, needs no search.
    const void* nul = aData[at] == '\0' ? aData + at : std::memchr(aData + at, '\0', aSize - at);
    if (nul == nullptr) return keep(false);
    const auto size = static_cast<std::size_t>(static_cast<const char*>(nul) - (aData + at));
    if (value == ZTA_CODE_BUFFER_TOO_SMALL) {
      // Code 1 is no record's: it is the end mark of a partial answer.
      if (!aPartial || size != 0) return keep(false);
      ++at;
      break;
    }
    // Filled in place: a record built aside and copied in whole made the
    // processor wait on its parts, once for every line.
    TBatchRecord& record = records[read];
    record.Code = value;
    record.Text = aData + at;
    record.Size = static_cast<std::uint32_t>(size);
    if (value != 0) {
      ++FBatchFailures;
    } else if (vResults != nullptr) {
      vResults[read] = {aData + at, record.Size,
                        SameBytes(aData + at, size, aSent->Line(read), aSent->Size(read))};
    }
    ++read;
    at += size + 1;
  }
  FBatchAnswerBytes = at;
  return keep(Unwritten(aData + at, aSize - at));
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

Text TdllZTA::CallForText(const TBufferCall& aCall, std::uint32_t aCodePage,
                          const char16_t* aFormat, const Text* aSubject) {
  return Decode(aCodePage, CallOrRaise(aCall, aFormat, aSubject));
}

}  // namespace xlate
