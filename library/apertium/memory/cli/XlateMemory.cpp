// xlate-memory: looks after the translation memory of the Apertium library
// (ZTA_MEMORY): a person's translations in from TMX or from a document and
// its corrected translation, everything out as TMX, counts, and the
// machine entries whose engine data is gone dropped.
//
//   xlate-memory import MEMORY FILE.tmx
//   xlate-memory import MEMORY SOURCE TARGET LANGFROM LANGTO
//   xlate-memory export MEMORY FILE.tmx
//   xlate-memory stats MEMORY
//   xlate-memory prune MEMORY
//
// Exit code 0 on success, 1 on a failure (said on standard error), 2 on
// wrong arguments.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "memory/MemoryStore.h"
#include "memory/Tmx.h"

namespace {

const char* const kUsage =
    "Usage: xlate-memory import MEMORY FILE.tmx\n"
    "       xlate-memory import MEMORY SOURCE TARGET LANGFROM LANGTO\n"
    "       xlate-memory export MEMORY FILE.tmx\n"
    "       xlate-memory stats MEMORY\n"
    "       xlate-memory prune MEMORY\n"
    "MEMORY is the SQLite file of ZTA_MEMORY. import adds a person's translations,\n"
    "which the library uses before its own; prune drops the library's translations\n"
    "whose language data is gone or changed. See xlate-memory(1).\n";

// Runs work on the memory; its failures name the memory's file.
template <typename Work>
void inMemory(const std::string& memoryPath, Work work) {
  try {
    work();
  } catch (const zta::MemoryError& error) {
    throw zta::MemoryError(memoryPath + ": " + error.what());
  }
}

int run(const std::vector<std::string>& arguments) {
  const std::string& command = arguments[0];
  const std::string& memoryPath = arguments[1];
  if (command == "import" && (arguments.size() == 3 || arguments.size() == 6)) {
    // Everything is read and checked before the memory is opened.
    const std::vector<zta::MemoryEntry> entries =
        arguments.size() == 3
            ? zta::readTmx(arguments[2])
            : zta::readLinePair(arguments[2], arguments[3], arguments[4], arguments[5]);
    inMemory(memoryPath, [&] { zta::MemoryStore(memoryPath).storeHuman(entries); });
    std::printf("%zu translations imported into %s\n", entries.size(), memoryPath.c_str());
    return 0;
  }
  if (command == "export" && arguments.size() == 3) {
    std::vector<zta::MemoryEntry> entries;
    inMemory(memoryPath, [&] { entries = zta::MemoryStore(memoryPath, true).entries(); });
    zta::writeTmx(arguments[2], entries);
    std::printf("%zu translations exported into %s\n", entries.size(), arguments[2].c_str());
    return 0;
  }
  if (command == "stats" && arguments.size() == 2) {
    std::vector<zta::MemoryCount> counts;
    inMemory(memoryPath, [&] { counts = zta::MemoryStore(memoryPath, true).counts(); });
    std::printf("%-16s %-8s %s\n", "pair", "kind", "entries");
    for (const zta::MemoryCount& count : counts) {
      std::printf("%-16s %-8s %llu\n", count.pair.c_str(), count.human ? "human" : "machine",
                  static_cast<unsigned long long>(count.entries));
    }
    return 0;
  }
  if (command == "prune" && arguments.size() == 2) {
    std::uint64_t dropped = 0;
    inMemory(memoryPath, [&] { dropped = zta::MemoryStore(memoryPath).prune(); });
    std::printf("%llu machine translations dropped\n", static_cast<unsigned long long>(dropped));
    return 0;
  }
  std::fputs(kUsage, stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.size() < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  try {
    return run(arguments);
  } catch (const zta::MemoryError& error) {
    std::fprintf(stderr, "xlate-memory: %s\n", error.what());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "xlate-memory: %s\n", error.what());
  }
  return 1;
}
