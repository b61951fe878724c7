// Reads the pipeline of an Apertium mode ("prog -z 'file' $1 | prog2 ...")
// into the argv of each stage, so that the library can start and reap every
// stage itself instead of leaving them to a shell.
//
// Only what mode files use is understood: words, '...' and "..." quoting,
// backslash escapes, the positional parameters $1 to $9, and "|" between
// stages. Anything else (redirections, ";", "&", command substitution, other
// variables, wildcards) makes the script one the caller must give to sh.
#ifndef XLATE_LIBRARY_APERTIUM_MODE_SCRIPT_H
#define XLATE_LIBRARY_APERTIUM_MODE_SCRIPT_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zta {

using StageList = std::vector<std::vector<std::string>>;

// The stages of script, with $1, $2, ... replaced by positional[0], [1], ...
// An unquoted parameter that is empty vanishes, as in sh. Nothing when the
// script uses anything beyond the subset above or has an empty stage.
std::optional<StageList> parseModeScript(std::string_view script,
                                         const std::vector<std::string>& positional);

}  // namespace zta

#endif
