#include "app/filemode/BlockSource.h"

#include <system_error>

namespace xlate {

namespace {

// Wakes a thread that waits on aCondition under aLock. Taking the lock
// first makes sure that it is not between its last look at the counts and
// its sleep; waking it after letting go of the lock spares it waiting for
// the lock again as it wakes.
void Wake(std::mutex& aLock, std::condition_variable& aCondition) {
  { std::lock_guard<std::mutex> lock(aLock); }
  aCondition.notify_one();
}

}  // namespace

TBlockSource::TBlockSource(TProcessContext& aProcess, TLineReader& aReader, bool aReadAhead)
    : FReader(aReader) {
  if (!aReadAhead) return;
  try {
    FReaderThread = aProcess.StartThread([this] { Work(); });
  } catch (const std::system_error&) {
    // No thread to be had (no memory for its stack, say): the blocks are
    // read when they are asked for.
  }
}

TBlockSource::~TBlockSource() {
  if (!FReaderThread.joinable()) return;
  FStop = true;
  Wake(FLock, FToReader);
  FReaderThread.join();
}

bool TBlockSource::ReadInto(TSlot& vSlot, std::exception_ptr& vFailure) {
  try {
    if (!FReader.ReadBlock(vSlot.Block)) return false;
    vSlot.BytesUsed = FReader.BytesUsed();
    return true;
  } catch (...) {
    vFailure = std::current_exception();
    return false;
  }
}

// The counts are sequentially consistent: a thread that says it waits and
// then looks at the count, and one that changes the count and then looks
// whether the other waits, cannot both miss each other.
void TBlockSource::Work() {
  std::uint64_t bytesBefore = 0;
  for (;;) {
    // Every slot but the caller's is read: wait until the caller has taken
    // all but one of them, so that the waking is not paid for each block.
    // A long block read: wait until the caller is done with it.
    const std::uint64_t read = FRead;
    const bool full = read == FGiven + kAhead;
    if (full || FLongBlocks > 0) {
      std::unique_lock<std::mutex> lock(FLock);
      FReaderWaits = true;
      FToReader.wait(lock, [this, read, full] {
        return FStop || (FLongBlocks == 0 && read + (full ? 2 : 1) <= FGiven + kAhead);
      });
      FReaderWaits = false;
    }
    if (FStop) return;
    TSlot& slot = SlotOf(read);
    std::exception_ptr failure;
    const bool any = ReadInto(slot, failure);
    if (any) {
      slot.Long = slot.BytesUsed - bytesBefore > kLongBlockBytes;
      bytesBefore = slot.BytesUsed;
      if (slot.Long) ++FLongBlocks;
      FRead = read + 1;
    } else {
      FFailure = failure;
      FEnded = true;
    }
    if (FCallerWaits) Wake(FLock, FToCaller);
    if (!any) return;
  }
}

TLineBlock* TBlockSource::Next() {
  if (!FReaderThread.joinable()) {
    // Read here, into the one slot.
    std::exception_ptr failure;
    if (!ReadInto(FSlots[0], failure)) {
      if (failure) std::rethrow_exception(failure);
      return nullptr;
    }
    FGivenBytes = FSlots[0].BytesUsed;
    return &FSlots[0].Block;
  }
  const std::uint64_t given = FGiven;
  // Done with the block the caller had: a long one lets its storage go, and
  // reading go on.
  if (given > 0 && SlotOf(given - 1).Long) {
    SlotOf(given - 1).Long = false;
    SlotOf(given - 1).Block.Clear();
    if (--FLongBlocks == 0 && FReaderWaits) Wake(FLock, FToReader);
  }
  if (FRead == given && !FEnded) {
    std::unique_lock<std::mutex> lock(FLock);
    FCallerWaits = true;
    FToCaller.wait(lock, [this, given] { return FRead > given || FEnded; });
    FCallerWaits = false;
  }
  if (FRead == given) {
    // Nothing more was read: the end, or a failure, both set before FEnded.
    if (FFailure) std::rethrow_exception(FFailure);
    return nullptr;
  }
  TSlot& slot = SlotOf(given);
  FGivenBytes = slot.BytesUsed;
  // The slot of the block the caller had is free now.
  FGiven = given + 1;
  if (FReaderWaits && given + 2 >= FRead) Wake(FLock, FToReader);
  return &slot.Block;
}

}  // namespace xlate
