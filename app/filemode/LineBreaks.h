#pragma once

namespace xlate {

// The first CR, LF or NUL in [aFrom, aEnd), or aEnd: where a line of a file,
// or a line break inside a translated line, begins. Sixteen bytes or eight
// units at a time where the processor can, since every byte of a file and
// every translated line goes through it.
const char* FindBreak(const char* aFrom, const char* aEnd);
const char16_t* FindBreak(const char16_t* aFrom, const char16_t* aEnd);

}  // namespace xlate
