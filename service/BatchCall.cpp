#include "service/BatchCall.h"

#include <algorithm>
#include <cstring>

#include "common/CodePages.h"
#include "common/Exception.h"
#include "contract/ZtaContract.h"

namespace xlate {

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

// Whether aLines lines whose texts take aTextBytes would, as records, fill
// no more than half of the largest buffer of a batch.
bool FitsBatch(std::size_t aLines, std::size_t aTextBytes) {
  return 2 * (std::uint64_t{ZTA_BATCH_CODE_BYTES} * aLines + aTextBytes) <= kPartResultBytes;
}

}  // namespace

std::size_t TBatchCall::Translate(const TLinePart& aPart, std::size_t& vCount, std::size_t& vFailed,
                                  const TLibraryCall& aCall) {
  vCount = Pack(aPart, std::min({vCount, FLineLimit, std::size_t{UINT32_MAX}}));
  const std::size_t done = Call(aPart, vCount, aCall);
  Spread(aPart, done, vFailed);
  return done;
}

// A batch takes no more lines than the last one whose records did not fit
// had, nor so many that their texts alone, as records, would fill half of
// the largest buffer of a batch; but one line at least.
std::size_t TBatchCall::Pack(const TLinePart& aPart, std::size_t aCount) {
  FTexts.clear();
  FStarts.clear();
  FPointers.clear();
  FPointers.reserve(aCount);
  if (aPart.Utf8Given()) {
    // Lines given as UTF-8 are in place already, each with its NUL, and
    // are their own texts.
    const std::size_t count = Utf8LinesThatFit(aPart.Utf8, aCount);
    FTextBytes = static_cast<std::size_t>(aPart.Utf8.Starts[count] - aPart.Utf8.Starts[0]);
    FSentTexts = aPart.Utf8.Starts;
    return count;
  }
  const std::size_t count = PackTexts(aPart.Lines, aCount);
  // The pointers are taken once all texts are in place, as appending may
  // move them.
  for (std::size_t start : FStarts) FPointers.push_back(FTexts.data() + start);
  FSentTexts = FPointers.data();
  return count;
}

// The lines' bytes are in place: the batch's size is known for any number
// of lines, and it grows with the number, so the most that fit are found by
// halving; at least one goes.
std::size_t TBatchCall::Utf8LinesThatFit(const TUtf8Lines& aLines, std::size_t aCount) {
  const auto fits = [&aLines](std::size_t aNumber) {
    return FitsBatch(aNumber, static_cast<std::size_t>(aLines.Starts[aNumber] - aLines.Starts[0]));
  };
  if (aCount <= 1 || fits(aCount)) return aCount;
  std::size_t low = 1;  // fits, or is the one line that goes anyway
  std::size_t high = aCount;
  while (high - low > 1) {
    const std::size_t middle = low + (high - low) / 2;
    (fits(middle) ? low : high) = middle;
  }
  return low;
}

std::size_t TBatchCall::PackTexts(const Text* aLines, std::size_t aCount) {
  FTextBytes = 0;
  for (std::size_t i = 0; i < aCount; ++i) {
    const std::size_t start = FTexts.size();
    if (!aLines[i].empty()) {
      FText.AppendTextAsMultiByte(kCodePageUtf8, aLines[i].data(), aLines[i].size(), FTexts);
    }
    FTexts.push_back('\0');
    FTextBytes = FTexts.size();
    if (i > 0 && !FitsBatch(i + 1, FTextBytes)) {
      FTexts.resize(start);
      FTextBytes = start;
      return i;
    }
    FStarts.push_back(start);
  }
  return aCount;
}

std::uint64_t TBatchCall::FirstCapacity(std::size_t aCount) const {
  // Twice the size of the texts as records, so that the translations
  // usually fit at once.
  const std::uint64_t recordBytes = std::uint64_t{ZTA_BATCH_CODE_BYTES} * aCount + FTextBytes;
  std::uint64_t capacity = kFirstResultBuffer;
  while (capacity < 2 * recordBytes && capacity < kMaxResultBuffer) capacity *= 2;
  if (FBufferSize > capacity) capacity = FBufferSize;
  return capacity;
}

char* TBatchCall::PrepareBuffer(std::uint64_t aCapacity) {
  // New memory holds nothing known.
  if (aCapacity > FBuffer.Capacity()) FCleanFrom = nullptr;
  if (!FBuffer.Reserve(static_cast<std::size_t>(aCapacity))) {
    FBufferSize = 0;
    return nullptr;
  }
  FBufferSize = static_cast<std::uint32_t>(aCapacity);
  char* data = FBuffer.Last(FBufferSize);
  // Filled but where the last valid answer left it untouched: with many
  // short lines, filling all of it took as long as the lines.
  const std::size_t dirty = FCleanFrom != nullptr && FCleanFrom >= data
                                ? static_cast<std::size_t>(FCleanFrom - data)
                                : FBufferSize;
  std::memset(data, kUnwritten, dirty);
  FCleanFrom = nullptr;  // until the answer is found valid
  return data;
}

std::size_t TBatchCall::Call(const TLinePart& aPart, std::size_t& vCount,
                             const TLibraryCall& aCall) {
  std::size_t count = vCount;
  std::uint64_t capacity = FirstCapacity(count);
  // A line too long for the largest buffer of a batch is translated alone.
  if (capacity > kPartResultBytes) return 0;
  // Lines given as UTF-8 whose results are taken as UTF-8 get them as the
  // records are read: no second pass over the records.
  const bool onTheWay = aPart.Utf8Given() && aPart.Utf8ResultsWanted();
  const TUtf8Lines* sent = onTheWay ? &aPart.Utf8 : nullptr;
  TUtf8Result* const results = onTheWay ? aPart.Utf8Results : nullptr;
  std::size_t done = 0;
  for (;;) {
    char* data = PrepareBuffer(capacity);
    if (data == nullptr) break;
    const std::uint32_t size = FBufferSize;
    try {
      std::uint32_t code = 0;
      if (aCall(static_cast<std::uint32_t>(count), FSentTexts, data, size, code)) {
        if (ReadRecords(data, size, count, false, sent, results)) {
          done = count;
          FCleanFrom = data + FAnswerBytes;
        }
        break;
      }
      if (code != ZTA_CODE_BUFFER_TOO_SMALL) {
        // Failed as a whole; a partial answer still gives the lines it has.
        if (ReadRecords(data, size, count, true, sent, results)) done = FRecords.size();
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
      FLineLimit = count;
    } else {
      break;  // one line whose result is that long: it is translated alone
    }
  }
  vCount = count;
  AdaptLineLimit(count, done);
  return done;
}

void TBatchCall::AdaptLineLimit(std::size_t aCount, std::size_t aDone) {
  if (aDone != aCount || FLineLimit != aCount) return;
  // Results got smaller again: the next batch may take more lines.
  const TRecord& last = FRecords.back();
  const char* records = FBuffer.Last(FBufferSize);
  if (static_cast<std::size_t>(last.Text + last.Size + 1 - records) <= kPartResultBytes / 4) {
    FLineLimit = aCount * 2;
  }
}

// Records are read only from what the library wrote: a text ends at the
// first NUL, so none reaches into bytes it left unwritten (they hold no
// NUL), and the bytes after the last record must be unwritten. Fewer
// records than asked for, an untouched buffer, or a NUL inside a text (its
// rest would be read as the next records, and some of what was written
// would be left over) so make the answer invalid.
bool TBatchCall::ReadRecords(const char* aData, std::size_t aSize, std::size_t aCount,
                             bool aPartial, const TUtf8Lines* aSent, TUtf8Result* vResults) {
  FFailures = 0;
  // Room for every record at once; the records read are counted, and the
  // rest cut off at the end.
  if (FRecords.size() < aCount) FRecords.resize(aCount);
  TRecord* const records = FRecords.data();
  std::size_t read = 0;
  const auto keep = [this, &read](bool aValid) {
    FRecords.resize(read);
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
    TRecord& record = records[read];
    record.Code = value;
    record.Text = aData + at;
    record.Size = static_cast<std::uint32_t>(size);
    if (value != 0) {
      ++FFailures;
    } else if (vResults != nullptr) {
      vResults[read] = {aData + at, record.Size,
                        SameBytes(aData + at, size, aSent->Line(read), aSent->Size(read))};
    }
    ++read;
    at += size + 1;
  }
  FAnswerBytes = at;
  return keep(Unwritten(aData + at, aSize - at));
}

std::size_t TBatchCall::SentSize(std::size_t aLine) const {
  // Each text ends where the next begins.
  const std::size_t next = aLine + 1 < FStarts.size() ? FStarts[aLine + 1] : FTexts.size();
  return next - FStarts[aLine] - 1;
}

// U+FFFD (EF BF BD) among the bytes sent may have stood for an unpaired
// surrogate of the text, which decoding would not give back.
bool TBatchCall::SameAsSent(std::size_t aLine, const TRecord& aRecord) const {
  const char* sent = FTexts.data() + FStarts[aLine];
  if (!SameBytes(aRecord.Text, aRecord.Size, sent, SentSize(aLine))) return false;
  const char* const end = sent + aRecord.Size;
  for (const char* at = sent;; ++at) {
    at = static_cast<const char*>(std::memchr(at, '\xEF', static_cast<std::size_t>(end - at)));
    if (at == nullptr) return true;
    if (end - at >= 3 && at[1] == '\xBF' && at[2] == '\xBD') return false;
  }
}

void TBatchCall::Spread(const TLinePart& aPart, std::size_t aDone, std::size_t& vFailed) {
  const std::uint32_t ansi = FText.AnsiCodePage();
  // Lines given as UTF-8 whose results are taken as UTF-8 got them as the
  // records were read; only their failures are left.
  const bool onTheWay = aPart.Utf8Given() && aPart.Utf8ResultsWanted();
  for (std::size_t i = 0; i < aDone && !(onTheWay && FFailures == 0); ++i) {
    const TRecord& record = FRecords[i];
    if (record.Code == 0 && onTheWay) continue;  // set as it was read
    if (record.Code == 0) {
      if (aPart.Utf8ResultsWanted()) {
        // A text line (lines given as UTF-8 got theirs as the records were
        // read).
        aPart.Utf8Results[i] = {
            record.Text, record.Size,
            SameBytes(record.Text, record.Size, FTexts.data() + FStarts[i], SentSize(i))};
      } else if (record.Size == 0) {
        aPart.Lines[i].clear();
      } else if (aPart.Utf8Given() || !SameAsSent(i, record)) {
        // A line the library gave back unchanged keeps its text: decoding
        // the bytes that were made of it would give it again. A line given
        // as UTF-8 bytes has no text yet.
        FText.AssignMultiByteAsText(kCodePageUtf8, record.Text, record.Size, aPart.Lines[i]);
      }
    } else {
      if (aPart.Utf8ResultsWanted()) aPart.Utf8Results[i] = TUtf8Result();
      // A line given as UTF-8 bytes is made a text only to name it.
      const Text subject =
          aPart.Utf8Given()
              ? FText.MultiByteToText(kCodePageUtf8, aPart.Utf8.Line(i), aPart.Utf8.Size(i))
              : aPart.Lines[i];
      aPart.Lines[i] = Format(kTranslateFailure,
                              {subject, FText.MultiByteToText(ansi, record.Text, record.Size)});
      NoteFailure(aPart, i, subject, aPart.Lines[i]);
      ++vFailed;
    }
  }
}

}  // namespace xlate
