// The answer of ztaTranslateBatch in the form of contract/BatchContract.md:
// records back to back, each a 4-byte little-endian code and a
// NUL-terminated text, and for a batch that failed part way the records of
// its first texts followed by the end mark (code 1, empty text).
#ifndef XLATE_LIBRARY_KIT_BATCH_RECORDS_H
#define XLATE_LIBRARY_KIT_BATCH_RECORDS_H

#include <cstdint>
#include <string>
#include <string_view>

namespace zta_kit {

// Appends a record: code 0 and the translation, or a failure's code and
// its error text.
void AppendRecord(std::uint32_t aCode, std::string_view aText, std::string& vRecords);

// Appends the end mark of a partial answer.
void AppendEndMark(std::string& vRecords);

// Writes a failed batch's partial answer into vDest: as many of the whole
// records at the start of aRecords as fit in aMaxSize with the end mark
// after them. Writes nothing when not one record fits.
void WritePartialAnswer(std::string_view aRecords, char* vDest, std::uint32_t aMaxSize);

}  // namespace zta_kit

#endif
