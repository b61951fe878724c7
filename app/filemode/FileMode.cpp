#include "app/filemode/FileMode.h"

#include "common/Exception.h"

namespace xlate {

// File mode is not built yet; a run that names a file says so plainly.
void TranslateFile(const TRunSettings&, TdllZTA&) {
  throw Exception(u"File mode is not available in this build");
}

void WriteListFile(const TRunSettings&, const TStringList&) {
  throw Exception(u"File mode is not available in this build");
}

}  // namespace xlate
