// The pieces of a memory context's fingerprint (MemoryStore.h): a hash of
// bytes, the stamp of a data file, and the data files a mode file names.
#ifndef XLATE_LIBRARY_APERTIUM_MEMORY_MEMORY_KEY_H
#define XLATE_LIBRARY_APERTIUM_MEMORY_MEMORY_KEY_H

#include <string>
#include <string_view>
#include <vector>

namespace zta {

// 32 hexadecimal digits: two 64-bit FNV-1a hashes of bytes with different
// starts. Not a cryptographic hash: it tells apart the few contexts of one
// memory, which nobody forges.
std::string hashBytes(std::string_view bytes);

// "size mtime path" of a regular file, or "missing path" when it cannot be
// read. Size and time instead of a hash of the contents: a pair's
// dictionaries are tens of megabytes, which one call of a single line
// should not read; every installation of a package sets both anew.
std::string fileStamp(const std::string& path);

// The absolute paths in a mode file's text (its programs' data files), each
// once, in the order they come; the words are split at blanks, quotes and
// "|".
std::vector<std::string> pathsNamedIn(std::string_view modeText);

// The whole file, or nothing ("missing") when it cannot be read.
std::string fileBytes(const std::string& path, bool* found);

}  // namespace zta

#endif
