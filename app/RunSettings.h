#pragma once

#include "common/Types.h"
#include "service/TranslationRequest.h"

namespace xlate {

// What one run does, filled from the command line: the request to the
// library (the languages), and the task, the codings and the files around
// it. The types are qualified because one field is itself named Text.
struct TRunSettings : TTranslationRequest {
  TTaskType Task = ttUnknown;
  TCodingType InCoding = ctNone;
  TCodingType OutCoding = ctNone;
  ByteString Text;  // the TEXT value, in the ANSI code page
  xlate::Text InFile;
  xlate::Text OutFile;
  bool UseFiles = false;
  bool OutFileDerived = false;  // OutFile was made from InFile, not given
};

}  // namespace xlate
