#include <sys/mman.h>
#include <unistd.h>

#include "platform/GuardedPages.h"

namespace xlate {

std::size_t PageSize() { return static_cast<std::size_t>(sysconf(_SC_PAGESIZE)); }

void* MapWithGuardPage(std::size_t aMapped, std::size_t aGuardAt) {
  void* base = mmap(nullptr, aMapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) return nullptr;
  if (mprotect(static_cast<char*>(base) + aGuardAt, aMapped - aGuardAt, PROT_NONE) != 0) {
    munmap(base, aMapped);
    return nullptr;
  }
  return base;
}

void UnmapPages(void* aBase, std::size_t aMapped) { munmap(aBase, aMapped); }

}  // namespace xlate
