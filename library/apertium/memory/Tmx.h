// A person's translations in and out of the memory: TMX 1.4 files (the
// translators' exchange format, read and written with libxml2) and pairs of
// line files (a document and its corrected translation).
//
// Every reader checks the whole input before it gives anything: on the
// first fault it throws MemoryError naming the file and line, so that an
// import is all of a file or none of it.
#ifndef XLATE_LIBRARY_APERTIUM_MEMORY_TMX_H
#define XLATE_LIBRARY_APERTIUM_MEMORY_TMX_H

#include <string>
#include <vector>

#include "memory/MemoryStore.h"

namespace zta {

// The pair of a memory ("eng-spa") for two language codes or tags ("en",
// "es-ES"); the region or variant of a tag is not part of it. Nothing (an
// empty text) when a code is no language this library knows.
std::string memoryPairOf(const std::string& from, const std::string& to);

// The translation units of a TMX file: for each unit, its variant in the
// header's source language (srclang) paired with each variant in another
// language. Units a machine made (xlate-memory export marks them) are left
// out: they hold only with the data that made them.
std::vector<MemoryEntry> readTmx(const std::string& path);

// The entries of two line files of equal count (UTF-8; CR LF, LF or CR end
// a line), the source's line n translated by the target's line n. Empty
// source lines are left out.
std::vector<MemoryEntry> readLinePair(const std::string& sourcePath, const std::string& targetPath,
                                      const std::string& from, const std::string& to);

// Writes entries as TMX 1.4; a machine's units carry a property saying so.
void writeTmx(const std::string& path, const std::vector<MemoryEntry>& entries);

}  // namespace zta

#endif
