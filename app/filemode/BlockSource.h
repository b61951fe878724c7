#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>

#include "app/filemode/InputFile.h"
#include "app/filemode/LineBlock.h"
#include "platform/ProcessContext.h"

namespace xlate {

// Gives the blocks of a file's lines in order. Read ahead, a thread of its
// own reads and decodes the next blocks while the caller translates and
// writes the one it has, so that reading costs the run no time of its own
// on a machine with a second processor. Only a file that answers every read
// at once is read ahead (a regular file): standard input, a pipe or a
// device is read when its block is asked for, as a read ahead could wait
// for input nobody gives and keep the run from ending.
class TBlockSource {
 public:
  TBlockSource(TProcessContext& aProcess, TLineReader& aReader, bool aReadAhead);
  ~TBlockSource();
  TBlockSource(const TBlockSource&) = delete;
  TBlockSource& operator=(const TBlockSource&) = delete;

  // The next block, or null after the last one; the caller is done with
  // the block it had. Raises what reading it raised, once every block
  // before it is given.
  TLineBlock* Next();
  // Where the lines of the block last given end in the bytes read.
  std::uint64_t BytesUsed() const { return FGivenBytes; }

 private:
  struct TSlot {
    TLineBlock Block;
    std::uint64_t BytesUsed = 0;
    bool Long = false;  // it holds a line much longer than the window
  };
  // Blocks read ahead at most, besides the one the caller has. Each wake-up
  // of the reading thread costs about as much as a block of short lines,
  // so it is woken only once all of them are taken.
  static constexpr std::uint64_t kAhead = 3;
  // A block of more bytes of the file than this holds a long line, which
  // is held only once: nothing is read ahead while it is.
  static constexpr std::uint64_t kLongBlockBytes = std::uint64_t{1} << 20;

  void Work();
  // Reads the next block into the slot; false at the end of the file or
  // when reading failed (vFailure).
  bool ReadInto(TSlot& vSlot, std::exception_ptr& vFailure);
  TSlot& SlotOf(std::uint64_t aBlock) { return FSlots[aBlock % (kAhead + 1)]; }

  TLineReader& FReader;
  TSlot FSlots[kAhead + 1];
  std::uint64_t FGivenBytes = 0;
  // Blocks are counted in file order, block n read into SlotOf(n). The
  // counts pass between the threads without a lock; the lock and the
  // conditions are for a thread that has to wait, and for waking it.
  std::atomic<std::uint64_t> FRead{0};   // blocks read
  std::atomic<std::uint64_t> FGiven{0};  // blocks given; the caller has the last one
  std::atomic<bool> FEnded{false};       // no block follows those read
  std::atomic<int> FLongBlocks{0};       // read, and not yet done with by the caller
  std::exception_ptr FFailure;           // why, when reading failed; set before FEnded
  std::atomic<bool> FReaderWaits{false};
  std::atomic<bool> FCallerWaits{false};
  std::atomic<bool> FStop{false};
  std::mutex FLock;
  std::condition_variable FToReader;
  std::condition_variable FToCaller;
  std::thread FReaderThread;
};

}  // namespace xlate
