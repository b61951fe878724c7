// Translates a UTF-8 file line by line through a translation library, the
// way the program's file mode calls it: one ztaTranslate per line with a
// buffer that starts at 1024 bytes and doubles while the library reports
// code 1. With BATCH, the lines go BATCH at a time through
// ztaTranslateBatch (same buffer rule; a batch that fails as a whole is
// translated line by line, as the program does). Used by the benchmark
// scripts to measure the library itself.
//
//   zta_line_driver LIBRARY INPUT OUTPUT FROM TO [BATCH]
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "contract/ZtaContract.h"

namespace {

template <typename Function>
Function bind(void* library, const char* name) {
  void* address = dlsym(library, name);
  if (address == nullptr) {
    std::cerr << "missing " << name << "\n";
    std::exit(2);
  }
  return reinterpret_cast<Function>(address);
}

struct Library {
  TprocTranslate translate;
  TprocLastErrorCode lastError;
  TprocErrorText errorText;
  TprocTranslateBatch translateBatch;
};

// One line's translation, or its error text; false on an error.
bool translateLine(const Library& library, const char* from, const char* to,
                   const std::string& line, std::string& out) {
  std::vector<char> buffer;
  for (uint32_t size = 1024;; size *= 2) {
    buffer.resize(size);
    if (library.translate("en", from, to, line.c_str(), buffer.data(), size) & 0xFF) {
      out = buffer.data();
      return true;
    }
    const uint32_t code = library.lastError();
    if (code == ZTA_CODE_BUFFER_TOO_SMALL) continue;
    std::vector<char> message(4096);
    library.errorText(code, message.data(), static_cast<uint32_t>(message.size()));
    out = message.data();
    return false;
  }
}

// The lines' translations or error texts through one batch call, or line by
// line when the batch fails as a whole. Returns how many lines failed.
std::size_t translateBatch(const Library& library, const char* from, const char* to,
                           const std::vector<std::string>& lines, std::vector<std::string>& out) {
  std::vector<const char*> texts;
  for (const std::string& line : lines) texts.push_back(line.c_str());
  std::vector<char> buffer(1024);
  out.assign(lines.size(), std::string());
  std::size_t failures = 0;
  for (;;) {
    const auto size = static_cast<uint32_t>(buffer.size());
    if (library.translateBatch("en", from, to, static_cast<uint32_t>(texts.size()), texts.data(),
                               buffer.data(), size) &
        0xFF) {
      std::size_t at = 0;
      for (std::size_t i = 0; i < lines.size(); ++i) {
        uint32_t code = 0;
        for (int k = 3; k >= 0; --k)
          code = (code << 8) | static_cast<unsigned char>(buffer[at + k]);
        at += 4;
        out[i] = buffer.data() + at;
        at += out[i].size() + 1;
        if (code != 0) ++failures;
      }
      return failures;
    }
    if (library.lastError() != ZTA_CODE_BUFFER_TOO_SMALL) break;
    buffer.resize(buffer.size() * 2);
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!translateLine(library, from, to, lines[i], out[i])) ++failures;
  }
  return failures;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6 && argc != 7) {
    std::cerr << "usage: zta_line_driver LIBRARY INPUT OUTPUT FROM TO [BATCH]\n";
    return 2;
  }
  const std::size_t batch = argc == 7 ? std::strtoul(argv[6], nullptr, 10) : 0;
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::cerr << dlerror() << "\n";
    return 2;
  }
  Library functions{bind<TprocTranslate>(library, "ztaTranslate"),
                    bind<TprocLastErrorCode>(library, "ztaLastErrorCode"),
                    bind<TprocErrorText>(library, "ztaErrorText"),
                    batch > 0 ? bind<TprocTranslateBatch>(library, "ztaTranslateBatch") : nullptr};

  std::ifstream input(argv[2], std::ios::binary);
  std::ofstream output(argv[3], std::ios::binary);
  if (!input || !output) {
    std::cerr << "cannot open the input or output file\n";
    return 2;
  }
  std::vector<std::string> lines;
  for (std::string line; std::getline(input, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  std::size_t failures = 0;
  std::vector<std::string> out;
  std::string translation;
  const auto start = std::chrono::steady_clock::now();
  if (batch == 0) {
    for (const std::string& line : lines) {
      if (!translateLine(functions, argv[4], argv[5], line, translation)) ++failures;
      output << translation << '\n';
    }
  } else {
    for (std::size_t first = 0; first < lines.size(); first += batch) {
      const std::vector<std::string> block(
          lines.begin() + static_cast<std::ptrdiff_t>(first),
          lines.begin() + static_cast<std::ptrdiff_t>(std::min(lines.size(), first + batch)));
      failures += translateBatch(functions, argv[4], argv[5], block, out);
      for (const std::string& line : out) output << line << '\n';
    }
  }
  const std::size_t count = lines.size();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  output.close();
  dlclose(library);
  std::printf("%zu lines, %zu failed, %.3f s, %.1f lines/s\n", count, failures, seconds,
              count / seconds);
  return failures == 0 ? 0 : 1;
}
