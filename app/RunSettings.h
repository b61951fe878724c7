#pragma once

#include "common/Types.h"

namespace xlate {

// What one run does, filled from the command line. The types are qualified
// because one field is itself named Text.
struct TRunSettings {
  TTaskType Task = ttUnknown;
  xlate::Text LangFrom;
  xlate::Text LangTo;
  xlate::Text LangInit;
  TCodingType InCoding = ctNone;
  TCodingType OutCoding = ctNone;
  ByteString Text;  // the TEXT value, in the ANSI code page
  xlate::Text InFile;
  xlate::Text OutFile;
  bool UseFiles = false;
  bool OutFileDerived = false;  // OutFile was made from InFile, not given
};

}  // namespace xlate
