// A stand-in for an Apertium chain in the tests: reads NUL-terminated
// requests and answers each with the request itself (so the library's
// framing gives back the original text), unless the request holds one of
// these words:
//   HANG     never answer
//   DIE      exit with status 3 at once, saying so on standard error
//   GARBAGE  answer without the request's closing blank
//   TWICE    answer twice
//   UPPER    answer in upper case (ASCII letters)
//
// Started under the name apertium-tagger, it stands for Apertium's HMM
// tagger instead, which keeps state from one text to the next: a request
// with NEWCLASS or OTHERCLASS (two ambiguity classes its model lacks)
// changes it for good (with -d, it says so on standard error first, as the
// tagger does), and every later answer to a request with an unknown word
// ("/*") or a class other than the one that changed it ends in " TAINTED".
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool taggerMode = false;
bool taggerNotes = false;
std::string changedBy;  // the class that changed it

void writeAll(const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(STDOUT_FILENO, data.data() + done, data.size() - done);
    if (n <= 0) std::exit(4);
    done += static_cast<std::size_t>(n);
  }
}

void answerAsTagger(std::string request) {
  std::string met;
  if (request.find("NEWCLASS") != std::string::npos) met = "{NOUN,ADJ}";
  if (request.find("OTHERCLASS") != std::string::npos) met = "{VERB,ADJ}";
  if (!changedBy.empty() &&
      (request.find("/*") != std::string::npos || (!met.empty() && met != changedBy))) {
    request += " TAINTED";
  }
  if (!met.empty()) {
    if (taggerNotes) {
      const std::string note =
          "Error: A new ambiguity class was found. \nRetraining the tagger is necessary so as to "
          "take it into account.\nWord 'x'.\nNew ambiguity class: " +
          met + "\n";
      std::fputs(note.c_str(), stderr);
      std::fflush(stderr);
    }
    if (changedBy.empty()) changedBy = met;
  }
  request.push_back('\0');
  writeAll(request);
}

void answer(std::string request) {
  if (taggerMode) {
    answerAsTagger(std::move(request));
    return;
  }
  if (request.find("HANG") != std::string::npos) {
    for (;;) ::pause();
  }
  if (request.find("DIE") != std::string::npos) {
    std::fputs("fake pipeline: told to die\n", stderr);
    std::exit(3);
  }
  if (request.find("GARBAGE") != std::string::npos) request = "garbage";
  if (request.find("UPPER") != std::string::npos) {
    for (char& c : request) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  request.push_back('\0');
  writeAll(request);
  if (request.find("TWICE") != std::string::npos) writeAll(request);
}

}  // namespace

int main(int argc, char** argv) {
  const char* slash = std::strrchr(argv[0], '/');
  taggerMode = std::strcmp(slash != nullptr ? slash + 1 : argv[0], "apertium-tagger") == 0;
  for (int i = 1; i < argc; ++i) taggerNotes = taggerNotes || std::strcmp(argv[i], "-d") == 0;
  std::string request;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) return 0;
    for (ssize_t i = 0; i < n; ++i) {
      if (buffer[i] == '\0') {
        answer(request);
        request.clear();
      } else {
        request.push_back(buffer[i]);
      }
    }
  }
}
