// The translation memory: an SQLite database of texts and their
// translations, looked up before the engine and filled after it.
//
// An entry is a source text with its translation, for a language pair
// ("eng-spa") and one of two kinds:
//   - a person's translation (context 0), imported with xlate-memory; used
//     for that pair and text whatever made the engine's translations;
//   - a machine translation, made under a context: everything the engine's
//     output depends on besides the text (the route through the pairs, the
//     format, the glossary, the engine and its data), kept as a fingerprint
//     (memory/MemoryKey.h). A machine entry is used only while the
//     fingerprint of the run is the same, so a change of data leaves it
//     unused; xlate-memory prune drops those whose data files are gone or
//     changed.
//
// Many processes may use one memory at once: the database is in WAL mode
// and waits up to 10 s for another writer. Every failure throws
// MemoryError; the library turns it into a warning and translates on
// without the memory, and nothing here ever truncates or replaces the file.
#ifndef XLATE_LIBRARY_APERTIUM_MEMORY_MEMORY_STORE_H
#define XLATE_LIBRARY_APERTIUM_MEMORY_MEMORY_STORE_H

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zta {

class MemoryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What made the machine entries of a run, besides the text.
struct MemoryContext {
  std::string pair;         // the languages, "eng-spa"
  std::string fingerprint;  // MemoryKey.h: route, format, glossary, engine and data
  std::string madeBy;       // for people: "local eng-spa" or "server http://..."
  // The data files as "size mtime path" lines, for prune; empty when they
  // cannot be checked here (a server's).
  std::string files;
};

struct MemoryEntry {
  std::string pair;
  std::string source;
  std::string target;
  bool human = false;
};

struct MemoryCount {
  std::string pair;
  bool human = false;
  std::uint64_t entries = 0;
};

class MemoryStore {
 public:
  // Opens the database at path, creating it when missing; readOnly opens it
  // for looking up only and creates nothing.
  explicit MemoryStore(const std::string& path, bool readOnly = false);
  ~MemoryStore();
  MemoryStore(const MemoryStore&) = delete;
  MemoryStore& operator=(const MemoryStore&) = delete;

  // The translations of texts, a person's before the machine's of context;
  // nothing for a text the memory does not hold.
  std::vector<std::optional<std::string>> find(const MemoryContext& context,
                                               const std::vector<std::string_view>& texts);
  // Keeps the machine translations of context, in one transaction.
  void store(const MemoryContext& context,
             const std::vector<std::pair<std::string_view, std::string_view>>& entries);
  // Keeps a person's translations, all or none.
  void storeHuman(const std::vector<MemoryEntry>& entries);

  std::vector<MemoryEntry> entries();
  std::vector<MemoryCount> counts();
  // Drops the machine entries whose context named data files that are gone
  // or changed; the number of entries dropped.
  std::uint64_t prune();

 private:
  struct Database;
  std::unique_ptr<Database> database_;
};

}  // namespace zta

#endif
