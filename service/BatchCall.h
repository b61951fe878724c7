#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "common/Types.h"
#include "platform/GuardedMemory.h"
#include "platform/SystemText.h"
#include "service/LinePart.h"

namespace xlate {

// The batch protocol of the translation service: many lines in one call of
// the library's ztaTranslateBatch. A batch goes in three steps, each a
// function of its own:
//  1. Pack: the lines' texts as the library takes them, as many lines as
//     fit into the largest buffer of a batch.
//  2. Call: the library with a buffer that grows while it is too small,
//     then, at the largest buffer, with half the lines; its answer is
//     checked against the batch contract before any of it is used.
//  3. Spread: each record becomes its line's result, or its failure's
//     message.
// It keeps its buffers from batch to batch, and the most lines a batch
// takes, lowered when the records of more did not fit.
class TBatchCall {
 public:
  // One call of the library's batch entry point with aCount texts into
  // aSize bytes at aData: true for its true answer; false with the failure
  // code in vCode. A processor fault in the library raises TException.
  using TLibraryCall = std::function<bool(std::uint32_t aCount, const char* const* aTexts,
                                          char* aData, std::uint32_t aSize, std::uint32_t& vCode)>;

  // aText converts the lines' texts and the records; it must outlive this.
  explicit TBatchCall(TSystemText& aText) : FText(aText) {}

  // The batch for the first vCount lines of aPart, or fewer of them (vCount
  // tells how many it took). Returns how many of the first of those got
  // their result from the batch: all of them, or, after a failure, the ones
  // a partial answer gave; the others are left as they were, to be
  // translated alone. Lines whose record says they failed get the message
  // and are counted in vFailed.
  std::size_t Translate(const TLinePart& aPart, std::size_t& vCount, std::size_t& vFailed,
                        const TLibraryCall& aCall);

 private:
  // Sixteen bytes: a batch of short lines has many of them.
  struct TRecord {
    const char* Text;
    std::uint32_t Size;  // the batch's buffer is smaller
    std::uint32_t Code;
  };

  // Step 1: makes the texts of the first lines of aPart (at most aCount) and
  // returns how many it took; FSentTexts and FTextBytes are then theirs.
  std::size_t Pack(const TLinePart& aPart, std::size_t aCount);
  // How many of the first aCount lines given as UTF-8 fit into a batch.
  static std::size_t Utf8LinesThatFit(const TUtf8Lines& aLines, std::size_t aCount);
  // Packs text lines, each made UTF-8 with its NUL, while they fit.
  std::size_t PackTexts(const Text* aLines, std::size_t aCount);
  // Step 2: calls the library for the first vCount packed lines, halving
  // vCount when their records do not fit into the largest buffer; returns
  // how many got their records (0 when the call gave none).
  std::size_t Call(const TLinePart& aPart, std::size_t& vCount, const TLibraryCall& aCall);
  // The buffer's first size: twice the size of aCount texts as records,
  // and no smaller than the last batch had.
  std::uint64_t FirstCapacity(std::size_t aCount) const;
  // The batch's buffer of aCapacity bytes, filled but where the last valid
  // answer left it untouched; null when the memory cannot be had.
  char* PrepareBuffer(std::uint64_t aCapacity);
  // After a batch of aCount lines of which aDone got their records: the
  // next batch may take more lines again when results got smaller.
  void AdaptLineLimit(std::size_t aCount, std::size_t aDone);
  // Reads the records the library wrote into the batch's aSize bytes at
  // aData into FRecords: aCount records for a true answer, or, when
  // aPartial, those before the end mark of a partial answer (fewer than
  // aCount). False when the bytes are not such an answer. With aSent and
  // vResults, the result of each record of code 0 is set on the way, as
  // lines given as UTF-8 (aSent) take it; the records of other codes are
  // counted (FFailures).
  bool ReadRecords(const char* aData, std::size_t aSize, std::size_t aCount, bool aPartial,
                   const TUtf8Lines* aSent, TUtf8Result* vResults);
  // Step 3: the results of the first aDone lines from their records.
  void Spread(const TLinePart& aPart, std::size_t aDone, std::size_t& vFailed);
  // The bytes packed for text line aLine, without its NUL.
  std::size_t SentSize(std::size_t aLine) const;
  // Whether a record is the very bytes sent for text line aLine, and those
  // give the line's text back.
  bool SameAsSent(std::size_t aLine, const TRecord& aRecord) const;

  TSystemText& FText;
  // The texts of text lines, each in UTF-8 with its NUL, and where each
  // starts; the texts the library is given (lines given as UTF-8 are their
  // own texts), and their bytes.
  ByteString FTexts;
  std::vector<std::size_t> FStarts;
  std::vector<const char*> FPointers;
  const char* const* FSentTexts = nullptr;
  std::size_t FTextBytes = 0;
  // The result buffer, kept from batch to batch (the size last given to the
  // library is its last FBufferSize bytes, never more than
  // kPartResultBytes); the records read from it; and the most lines a batch
  // takes.
  TGuardedMemory FBuffer;
  std::uint32_t FBufferSize = 0;
  std::vector<TRecord> FRecords;
  std::size_t FLineLimit = SIZE_MAX;
  // From here to the buffer's end, the buffer is known to hold only the
  // byte it is filled with before a call: the rest of the last answer that
  // was read and found valid; null when nothing is known. Only the bytes
  // before it are filled again.
  const char* FCleanFrom = nullptr;
  std::size_t FAnswerBytes = 0;  // of the last answer read, records and end mark
  std::size_t FFailures = 0;     // its records of a code other than 0
};

}  // namespace xlate
