// Translates a UTF-8 file line by line through a translation library, the
// way the program's file mode calls it: one ztaTranslate per line with a
// buffer that starts at 1024 bytes and doubles while the library reports
// code 1. Used by bench/apertium_bench.sh when the program's own file mode
// is not available.
//
//   zta_line_driver LIBRARY INPUT OUTPUT FROM TO
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "service/ZtaContract.h"

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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::cerr << "usage: zta_line_driver LIBRARY INPUT OUTPUT FROM TO\n";
    return 2;
  }
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::cerr << dlerror() << "\n";
    return 2;
  }
  auto translate = bind<TprocTranslate>(library, "ztaTranslate");
  auto lastError = bind<TprocLastErrorCode>(library, "ztaLastErrorCode");
  auto errorText = bind<TprocErrorText>(library, "ztaErrorText");

  std::ifstream input(argv[2], std::ios::binary);
  std::ofstream output(argv[3], std::ios::binary);
  if (!input || !output) {
    std::cerr << "cannot open the input or output file\n";
    return 2;
  }
  std::string line;
  std::vector<char> buffer;
  std::size_t lines = 0;
  std::size_t failures = 0;
  const auto start = std::chrono::steady_clock::now();
  while (std::getline(input, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    for (uint32_t size = 1024;; size *= 2) {
      buffer.resize(size);
      if (translate("en", argv[4], argv[5], line.c_str(), buffer.data(), size) & 0xFF) {
        output << buffer.data() << '\n';
        break;
      }
      const uint32_t code = lastError();
      if (code == ZTA_CODE_BUFFER_TOO_SMALL) continue;
      std::vector<char> message(4096);
      errorText(code, message.data(), static_cast<uint32_t>(message.size()));
      output << message.data() << '\n';
      ++failures;
      break;
    }
    ++lines;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  output.close();
  dlclose(library);
  std::printf("%zu lines, %zu failed, %.3f s, %.1f lines/s\n", lines, failures, seconds,
              lines / seconds);
  return failures == 0 ? 0 : 1;
}
