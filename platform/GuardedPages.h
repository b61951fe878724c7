#pragma once

// The system's side of TGuardedMemory: pages of memory, the last of which
// may be neither read nor written.

#include <cstddef>

namespace xlate {

std::size_t PageSize();
// aMapped bytes of new, zeroed memory whose bytes from aGuardAt on (one
// page) fault on any access; nullptr when the memory cannot be had.
void* MapWithGuardPage(std::size_t aMapped, std::size_t aGuardAt);
void UnmapPages(void* aBase, std::size_t aMapped);

}  // namespace xlate
