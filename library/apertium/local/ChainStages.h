// How the local engine turns an installed pair into the stages of its
// process chain.
#ifndef XLATE_LIBRARY_APERTIUM_LOCAL_CHAIN_STAGES_H
#define XLATE_LIBRARY_APERTIUM_LOCAL_CHAIN_STAGES_H

#include <string>

#include "engine/PairCatalog.h"
#include "local/LocalSettings.h"
#include "local/ModeScript.h"

namespace zta {

// The null-flush chain of an Apertium mode: the mode's pipeline as
// apertium-wblank-mode -z writes it, with the generator's option as $1 (-n for
// clean text, -g to mark unknown words) and no tagger option as $2. The
// stages that attach and detach word-bound blanks are left out: requests hold
// no word-bound blanks ("[[...]]"), since every "[" of a text is escaped. A
// pipeline that needs a shell runs as one stage, sh -c.
bool apertiumNullFlushStages(const LanguagePair& pair, const LocalSettings& settings,
                             StageList* stages, std::string* error);

// The same stages from the text of a null-flush mode pipeline.
bool nullFlushStagesFromScript(const std::string& script, bool markUnknownWords, StageList* stages);

}  // namespace zta

#endif
