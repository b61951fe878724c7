// English test texts for comparing translations: plain prose lines that
// differ from each other, and lines that try the edges of the text format.
#ifndef XLATE_LIBRARY_APERTIUM_TESTS_PROSE_H
#define XLATE_LIBRARY_APERTIUM_TESTS_PROSE_H

#include <cstddef>
#include <string>
#include <vector>

namespace zta::test {

// count lines of simple English sentences, each line different.
std::vector<std::string> proseLines(std::size_t count);

// Lines with markup characters, quotes, numbers, addresses, non-ASCII
// letters and blanks at their ends.
std::vector<std::string> awkwardLines();

}  // namespace zta::test

#endif
