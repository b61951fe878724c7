#include <windows.h>

#include "platform/GuardedPages.h"

namespace xlate {

std::size_t PageSize() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwPageSize;
}

void* MapWithGuardPage(std::size_t aMapped, std::size_t aGuardAt) {
  void* base = VirtualAlloc(nullptr, aMapped, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (base == nullptr) return nullptr;
  DWORD previous = 0;
  if (!VirtualProtect(static_cast<char*>(base) + aGuardAt, aMapped - aGuardAt, PAGE_NOACCESS,
                      &previous)) {
    VirtualFree(base, 0, MEM_RELEASE);
    return nullptr;
  }
  return base;
}

void UnmapPages(void* aBase, std::size_t) { VirtualFree(aBase, 0, MEM_RELEASE); }

}  // namespace xlate
