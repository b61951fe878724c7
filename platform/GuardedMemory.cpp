#include "platform/GuardedMemory.h"

#include "platform/GuardedPages.h"

namespace xlate {

bool TGuardedMemory::Reserve(std::size_t aSize) {
  if (FBase != nullptr && aSize <= FCapacity) return true;
  Release();
  const std::size_t page = PageSize();
  if (aSize > static_cast<std::size_t>(-1) - 2 * page) return false;
  const std::size_t capacity = (aSize + page - 1) / page * page;
  const std::size_t mapped = capacity + page;
  void* base = MapWithGuardPage(mapped, capacity);
  if (base == nullptr) return false;
  FBase = base;
  FMapped = mapped;
  FCapacity = capacity;
  FEnd = static_cast<char*>(base) + capacity;
  return true;
}

void TGuardedMemory::Release() {
  if (FBase != nullptr) UnmapPages(FBase, FMapped);
  FBase = nullptr;
  FMapped = 0;
  FCapacity = 0;
  FEnd = nullptr;
}

}  // namespace xlate
