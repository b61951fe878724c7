#include <sys/mman.h>
#include <unistd.h>

#include "platform/GuardedMemory.h"

namespace xlate {

bool TGuardedMemory::Reserve(std::size_t aSize) {
  if (FBase != nullptr && aSize <= FCapacity) return true;
  Release();
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  if (aSize > static_cast<std::size_t>(-1) - 2 * page) return false;
  const std::size_t capacity = (aSize + page - 1) / page * page;
  const std::size_t mapped = capacity + page;
  void* base = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) return false;
  char* end = static_cast<char*>(base) + capacity;
  if (mprotect(end, page, PROT_NONE) != 0) {
    munmap(base, mapped);
    return false;
  }
  FBase = base;
  FMapped = mapped;
  FCapacity = capacity;
  FEnd = end;
  return true;
}

void TGuardedMemory::Release() {
  if (FBase != nullptr) munmap(FBase, FMapped);
  FBase = nullptr;
  FMapped = 0;
  FCapacity = 0;
  FEnd = nullptr;
}

}  // namespace xlate
