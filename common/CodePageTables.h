#pragma once

#include <cstddef>
#include <cstdint>

namespace xlate {

// A single-byte code page: bytes below 0x80 are ASCII, the upper 128 map to
// these UTF-16 units, each of which encodes back to its byte. The best-fit
// list holds the further units that encode to a byte of the page, as
// (unit << 8) | byte, sorted by unit; every other unit becomes "?".
struct TCodePageTable {
  std::uint32_t CodePage;
  std::uint16_t Upper[128];
  const std::uint32_t* BestFit;
  std::size_t BestFitCount;
};

extern const TCodePageTable kCodePageTables[];
extern const std::size_t kCodePageTableCount;

}  // namespace xlate
