#include "MemoryKey.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace zta {
namespace {

std::uint64_t fnv1a(std::string_view bytes, std::uint64_t start) {
  std::uint64_t hash = start;
  for (const char byte : bytes) {
    hash ^= static_cast<unsigned char>(byte);
    hash *= 1099511628211ULL;
  }
  return hash;
}

std::string hex(std::uint64_t value) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i) {
    text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    value >>= 4;
  }
  return text;
}

}  // namespace

std::string hashBytes(std::string_view bytes) {
  return hex(fnv1a(bytes, 14695981039346656037ULL)) + hex(fnv1a(bytes, 0x6a09e667f3bcc909ULL));
}

std::string fileStamp(const std::string& path) {
  std::error_code error;
  const std::filesystem::path file(path);
  if (!std::filesystem::is_regular_file(file, error)) return "missing " + path;
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  if (error) return "missing " + path;
  const auto time = std::filesystem::last_write_time(file, error);
  if (error) return "missing " + path;
  const auto ticks =
      std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
  std::ostringstream stamp;
  stamp << size << ' ' << ticks << ' ' << path;
  return stamp.str();
}

std::vector<std::string> pathsNamedIn(std::string_view modeText) {
  std::vector<std::string> paths;
  std::string word;
  const auto endWord = [&] {
    if (word.size() > 1 && word[0] == '/' &&
        std::find(paths.begin(), paths.end(), word) == paths.end()) {
      paths.push_back(word);
    }
    word.clear();
  };
  for (const char c : modeText) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\'' || c == '"' || c == '|') {
      endWord();
    } else {
      word.push_back(c);
    }
  }
  endWord();
  return paths;
}

std::string fileBytes(const std::string& path, bool* found) {
  std::ifstream in(path, std::ios::binary);
  *found = static_cast<bool>(in);
  if (!in) return std::string();
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace zta
