#include <windows.h>

#include "platform/GuardedMemory.h"

namespace xlate {

bool TGuardedMemory::Reserve(std::size_t aSize) {
  if (FBase != nullptr && aSize <= FCapacity) return true;
  Release();
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  const std::size_t page = info.dwPageSize;
  if (aSize > static_cast<std::size_t>(-1) - 2 * page) return false;
  const std::size_t capacity = (aSize + page - 1) / page * page;
  const std::size_t mapped = capacity + page;
  void* base = VirtualAlloc(nullptr, mapped, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (base == nullptr) return false;
  char* end = static_cast<char*>(base) + capacity;
  DWORD previous = 0;
  if (!VirtualProtect(end, page, PAGE_NOACCESS, &previous)) {
    VirtualFree(base, 0, MEM_RELEASE);
    return false;
  }
  FBase = base;
  FMapped = mapped;
  FCapacity = capacity;
  FEnd = end;
  return true;
}

void TGuardedMemory::Release() {
  if (FBase != nullptr) VirtualFree(FBase, 0, MEM_RELEASE);
  FBase = nullptr;
  FMapped = 0;
  FCapacity = 0;
  FEnd = nullptr;
}

}  // namespace xlate
