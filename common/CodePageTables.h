#pragma once

#include <cstddef>
#include <cstdint>

namespace xlate {

// A single-byte code page: bytes below 0x80 are ASCII, the upper 128 map to
// these UTF-16 units. kHole marks a byte without a character of its own.
constexpr std::uint16_t kHole = 0xFFFF;
struct CodePageTable {
  std::uint32_t codePage;
  std::uint16_t upper[128];
};

extern const CodePageTable kCodePageTables[];
extern const std::size_t kCodePageTableCount;

}  // namespace xlate
