#include "Prose.h"

namespace zta::test {

std::vector<std::string> proseLines(std::size_t count) {
  static const char* const kSubjects[] = {"My friend",      "The old teacher", "Our neighbour",
                                          "A young doctor", "The children",    "My sister",
                                          "The farmer",     "Her brother",     "The students"};
  static const char* const kVerbs[] = {"bought", "found",   "painted", "sold",   "cleaned",
                                       "opened", "carried", "wrote",   "visited"};
  static const char* const kObjects[] = {
      "a new house",      "the red car",     "an interesting book", "three small boxes",
      "the old map",      "a long letter",   "the empty bottle",    "some fresh bread",
      "the wooden chair", "a strange story", "the kitchen window"};
  static const char* const kPlaces[] = {"in the city",       "near the river",    "in the garden",
                                        "behind the school", "at the market",     "in the library",
                                        "by the sea",        "in a small village"};
  static const char* const kTimes[] = {"yesterday",    "last week",     "every morning",
                                       "after dinner", "in the summer", "on Sunday",
                                       "two days ago", "at night"};
  static const char* const kExtras[] = {"It was a quiet day.", "Nobody expected that.",
                                        "The weather was warm and dry.",
                                        "Later they went home together."};
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < count; ++i) {
    // Mixed radices: neighbouring lines differ in every part.
    const std::string subject = kSubjects[i % 9];
    const std::string verb = kVerbs[(i / 9 + i) % 9];
    const std::string object = kObjects[(i / 81 + 2 * i) % 11];
    const std::string place = kPlaces[(i / 3 + i) % 8];
    const std::string time = kTimes[(i / 7 + 3 * i) % 8];
    std::string line;
    switch (i % 3) {
      case 0:
        line = subject + " " + verb + " " + object + " " + place + " " + time + ".";
        break;
      case 1:
        line = std::string(1, static_cast<char>(time[0] - 'a' + 'A')) + time.substr(1) + ", " +
               subject + " " + verb + " " + object + ".";
        break;
      default:
        line = "Why did " + subject + " say that " + object + " was " + place + "?";
        break;
    }
    if (i % 5 == 2) line += std::string(" ") + kExtras[(i / 5) % 4];
    line += " (" + std::to_string(i) + ")";
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> awkwardLines() {
  return {
      "The house is big and my friend reads a book.",
      "Use <b>bold</b> and [brackets] {braces} $5 @home a/b x\\y ^z.",
      "Tom & Jerry &amp; a < b > c",
      "Tabs\tand  two spaces ~ tilde.",
      "  Two leading spaces and a trailing tab\t",
      "Mr",
      "Where is the house?",
      "She said: \"We will visit our grandparents next summer!\"",
      "Prices rose by 5% in 2023 (see table 3).",
      "My e-mail is someone@example.com and the page is www.example.com/a/b.",
      "The caf\xC3\xA9 in S\xC3\xA3o Paulo serves cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
      "e.",
      "I have #5 items in C# and a #hashtag.",
      "Zorblax is here.",
      "The brackets are here.",
      "I don't know why the door is open; nobody does.",
      "1. First, 2. second; 3: third...",
  };
}

}  // namespace zta::test
