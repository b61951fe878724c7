// The translation memory in a build without SQLite (Windows): every use
// says that this build has none.
#include "MemoryStore.h"

namespace zta {
namespace {

[[noreturn]] void noMemory() {
  throw MemoryError(
      "this build of the library has no translation memory (it needs SQLite, which the Windows "
      "build does not carry)");
}

}  // namespace

struct MemoryStore::Database {};

MemoryStore::MemoryStore(const std::string&, bool) { noMemory(); }
MemoryStore::~MemoryStore() = default;
std::vector<std::optional<std::string>> MemoryStore::find(const MemoryContext&,
                                                          const std::vector<std::string_view>&) {
  noMemory();
}
void MemoryStore::store(const MemoryContext&,
                        const std::vector<std::pair<std::string_view, std::string_view>>&) {
  noMemory();
}
void MemoryStore::storeHuman(const std::vector<MemoryEntry>&) { noMemory(); }
std::vector<MemoryEntry> MemoryStore::entries() { noMemory(); }
std::vector<MemoryCount> MemoryStore::counts() { noMemory(); }
std::uint64_t MemoryStore::prune() { noMemory(); }

}  // namespace zta
