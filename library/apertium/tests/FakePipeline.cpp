// A stand-in for an Apertium chain in the tests: reads NUL-terminated
// requests and answers each with the request itself (so the library's
// framing gives back the original text), unless the request holds one of
// these words:
//   HANG     never answer
//   DIE      exit with status 3 at once, saying so on standard error
//   GARBAGE  answer without the request's closing blank
//   TWICE    answer twice
//   UPPER    answer in upper case (ASCII letters)
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void writeAll(const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(STDOUT_FILENO, data.data() + done, data.size() - done);
    if (n <= 0) std::exit(4);
    done += static_cast<std::size_t>(n);
  }
}

void answer(std::string request) {
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

int main() {
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
