#include "library/kit/BatchRecords.h"

#include <algorithm>

#include "contract/ZtaContract.h"

namespace zta_kit {

void AppendRecord(std::uint32_t aCode, std::string_view aText, std::string& vRecords) {
  for (unsigned shift = 0; shift < 8 * ZTA_BATCH_CODE_BYTES; shift += 8) {
    vRecords.push_back(static_cast<char>((aCode >> shift) & 0xFF));
  }
  vRecords.append(aText);
  vRecords.push_back('\0');
}

void AppendEndMark(std::string& vRecords) { AppendRecord(ZTA_CODE_BUFFER_TOO_SMALL, "", vRecords); }

void WritePartialAnswer(std::string_view aRecords, char* vDest, std::uint32_t aMaxSize) {
  std::string mark;
  AppendEndMark(mark);
  std::size_t fits = 0;
  for (std::size_t next = 0; next < aRecords.size();) {
    const std::size_t nul = aRecords.find('\0', next + ZTA_BATCH_CODE_BYTES);
    if (nul == std::string_view::npos) break;
    const std::size_t end = nul + 1;  // after the text's NUL
    if (end + mark.size() > aMaxSize) break;
    fits = next = end;
  }
  if (fits == 0 || vDest == nullptr) return;
  std::copy_n(aRecords.data(), fits, vDest);
  std::copy_n(mark.data(), mark.size(), vDest + fits);
}

}  // namespace zta_kit
