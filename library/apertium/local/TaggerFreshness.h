// Keeping the HMM tagger of a chain fresh: which stage is one, and what it
// says when a text changed it.
//
// The HMM tagger (apertium-tagger -g) is the one Apertium stage that keeps
// state from one null-flushed text to the next: when a word's ambiguity
// class is not in its model, it looks for a similar class and, doing so,
// overwrites the class it gives unknown words (the search for the next
// similar class starts from it too), for the rest of the process. A later
// text with an unknown word or a class of its own is then tagged differently
// from the way it is tagged alone; other texts are not.
// Told to (-d), it notes each such class on its standard error while it
// tags the text that holds the word, before it writes that text's NUL. A
// chain runs the tagger as a segment of its own. While the tagger is fresh
// it takes many texts at a time: what its standard error holds once a
// text's reply is read covers that text and the ones before, so a note
// read there leaves the texts behind that text to a fresh tagger. Once
// notes came, it takes one text at a time, so that what its standard error
// holds once the text's reply is read belongs to that text, until it tagged
// a number of texts quietly. Once the tagger has met a new class, a text
// with an unknown word ("/*" in what the tagger reads) goes to a fresh
// tagger, started ahead, and a text on which the changed tagger said anything but
// that it met the same class again is tagged again by a fresh one. (The
// search for a similar class ends where it ended the first time when it
// starts there: meeting the class again gives what a fresh tagger gives and
// leaves the tagger as it was.) Other taggers (the sliding-window one stops
// on such a class under -d) are left as they are.
#ifndef XLATE_LIBRARY_APERTIUM_LOCAL_TAGGER_FRESHNESS_H
#define XLATE_LIBRARY_APERTIUM_LOCAL_TAGGER_FRESHNESS_H

#include <string>
#include <string_view>
#include <vector>

namespace zta {

// True when the stage is apertium-tagger -g with options whose output is
// known here (and without -d, whose notes would be its own already).
bool isHmmTagger(const std::vector<std::string>& stage);

// How a tagger changed by more than one class is marked.
constexpr std::string_view kSeveralClasses = "several classes";

// Takes the tagger's notes of new ambiguity classes out of what it wrote on
// its standard error, and returns the classes they name ("{NOUN,ADJ}").
std::vector<std::string> takeNewClassNotes(std::string& said);

}  // namespace zta

#endif
