#include "TestSupport.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "local/Pipeline.h"

namespace zta::test {

std::string apertiumMissingReason() {
  for (const char* program : {"apertium-wblank-mode", "lt-proc", "apertium-transfer"}) {
    if (!programInPath(program)) return std::string(program) + " is not in PATH";
  }
  for (const char* mode : {"eng-spa", "spa-eng"}) {
    const std::string path = std::string("/usr/share/apertium/modes/") + mode + ".mode";
    if (!std::filesystem::exists(path)) return path + " does not exist";
  }
  return std::string();
}

TempDirectory::TempDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zta_test.XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDirectory::~TempDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void TempDirectory::writeFile(const std::string& name, const std::string& content) const {
  std::ofstream(std::filesystem::path(path_) / name, std::ios::binary) << content;
}

LibrarySettings fakeSettings(const TempDirectory& directory,
                             const std::vector<std::string>& modeNames,
                             std::chrono::milliseconds baseTimeout) {
  for (const std::string& name : modeNames) directory.writeFile(name + ".mode", "");
  LibrarySettings settings;
  settings.modesDirectory = directory.path();
  settings.baseTimeout = baseTimeout;
  settings.commandBuilder = [](const LanguagePair&, const LocalSettings&, StageList* stages,
                               std::string*) {
    *stages = {{ZTA_FAKE_PIPELINE}};
    return true;
  };
  return settings;
}

LibrarySettings apertiumSettings(bool markUnknownWords) {
  LibrarySettings settings;
  settings.markUnknownWords = markUnknownWords;
  return settings;
}

CallResult translate(TranslationLibrary& library, const std::string& from, const std::string& to,
                     const std::string& text, uint32_t bufferSize) {
  CallResult result;
  std::vector<char> buffer(bufferSize == 0 ? 1 : bufferSize, 'x');
  result.ok = library.translate("en", from.c_str(), to.c_str(), text.c_str(),
                                bufferSize == 0 ? nullptr : buffer.data(), bufferSize);
  if (result.ok) {
    result.text = buffer.data();
    return result;
  }
  result.code = library.lastErrorCode();
  std::vector<char> message(8192);
  if (library.errorText(result.code, message.data(), static_cast<uint32_t>(message.size()))) {
    result.message = message.data();
  }
  return result;
}

BatchResult translateBatch(TranslationLibrary& library, const std::string& from,
                           const std::string& to, const std::vector<std::string>& texts,
                           uint32_t bufferSize) {
  BatchResult result;
  std::vector<const char*> pointers;
  for (const std::string& text : texts) pointers.push_back(text.c_str());
  std::vector<char> buffer(bufferSize, 'x');
  result.ok =
      library.translateBatch("en", from.c_str(), to.c_str(), static_cast<uint32_t>(pointers.size()),
                             pointers.data(), buffer.data(), bufferSize);
  if (!result.ok) {
    result.code = library.lastErrorCode();
    std::vector<char> message(8192);
    if (library.errorText(result.code, message.data(), static_cast<uint32_t>(message.size()))) {
      result.message = message.data();
    }
  }
  // Records up to the count, or up to the end mark of a partial answer;
  // what the library did not write is 'x', which no record ends in.
  std::size_t at = 0;
  for (std::size_t i = 0; i < texts.size() && at + 5 <= buffer.size(); ++i) {
    uint32_t code = 0;
    for (int k = 3; k >= 0; --k) code = (code << 8) | static_cast<unsigned char>(buffer[at + k]);
    at += 4;
    const auto nul =
        std::find(buffer.begin() + static_cast<std::ptrdiff_t>(at), buffer.end(), '\0');
    if (nul == buffer.end()) break;
    const std::string text(buffer.begin() + static_cast<std::ptrdiff_t>(at), nul);
    at += text.size() + 1;
    if (!result.ok && code == 1 && text.empty()) {
      if (at < buffer.size() && buffer[at] != 'x') break;  // written past the mark
      return result;
    }
    result.records.emplace_back(code, text);
  }
  if (!result.ok) result.records.clear();  // no end mark: the buffer means nothing
  return result;
}

std::pair<uint32_t, std::string> aloneRecord(TranslationLibrary& library, const std::string& from,
                                             const std::string& to, const std::string& text) {
  const CallResult alone = translate(library, from, to, text);
  return alone.ok ? std::pair<uint32_t, std::string>(0, alone.text)
                  : std::pair<uint32_t, std::string>(alone.code, alone.message);
}

std::vector<FormatCase> htmlCases() {
  return {
      {"Boo! <b>Look</b> at the <a href=\"x.html\">big house</a> &amp; the dog.",
       "Bu! <b>Cariz</b> en la <a href=\"x.html\">casa grande</a> &amp; el perro."},
      // Attribute values are not translated.
      {"<p class=\"intro\">The house is <em>very</em> big.</p>",
       "<p class=\"intro\">La casa es <em>muy</em> grande.</p>"},
      // Nor are entities and comments; a stretch that starts in lower case
      // keeps its lower case.
      {"caf&eacute; &lt;b&gt; &#8212; <!-- a note --> the dog &#x2014; eats",
       "caf&eacute; &lt;b&gt; &#8212; <!-- a note --> el perro &#x2014; come"},
      {"Tom & Jerry say 3 < 4 and 5 > 2.", "Tom & Jerry dice 3 < 4 y 5 > 2."},
      // Without markup: the words of plain text, with the source's lower-case start.
      {"The house is big and my friend reads a book.",
       "La casa es grande y mi amigo lee un libro."},
      {"descends from the starry sky.", "desciende del cielo estrellado."},
      // Style sheets, scripts, code, CDATA and comments are not prose.
      {"<style>body { color: red; }</style><script>function show(house) { return house; "
       "}</script> the house",
       "<style>body { color: red; }</style><script>function show(house) { return house; "
       "}</script> la casa"},
      // A tag, a comment and a <pre> that go on into the next lines.
      {"<p>Look at <a class=\"big\"", "<p>Cariz en <a class=\"big\""},
      {"   href=\"house.html\" title=\"x\">the house</a> now.</p>",
       "   href=\"house.html\" title=\"x\">la casa</a> ahora.</p>", true},
      {"<!-- a note about", "<!-- a note about"},
      {"   the house -->the dog <code>house.txt</code> <pre>the house",
       "   the house -->el perro <code>house.txt</code> <pre>the house", true},
      {"the dog</pre> <![CDATA[3 > 2 in the house]]> the dog",
       "the dog</pre> <![CDATA[3 > 2 in the house]]> el perro", true},
      {"", ""},
      // alt and title are translated as texts of their own, entities kept;
      // the rest of the tag stays as it is.
      {"<img src=\"dog.png\" alt=\"The black dog\" title=\"My house\"> The dog is big.",
       "<img src=\"dog.png\" alt=\"El perro negro\" title=\"Mi casa\"> El perro es grande."},
      {"<a title='the dog &amp; the cat' href=\"x.html\">",
       "<a title='el perro &amp; el gato' href=\"x.html\">"},
  };
}

std::vector<FormatCase> textCases() {
  return {
      {"The house is big.", "La casa es grande."},
      // A line wrapped in the middle of a sentence keeps its lower-case start.
      {"descends from the starry sky.", "desciende del cielo estrellado."},
      {"my friend", "mi amigo"},
  };
}

std::vector<FormatCase> subtitleCases() {
  const char* const kept[] = {
      "1",
      "00:00:02,830 --> 00:00:05,560",
      "00:00:02,830 --> 00:00:05,560 X1:40 X2:600 Y1:20 Y2:50",
      "WEBVTT",
      "00:02.830 --> 00:05.560 align:start",
      "",
      "42",
  };
  std::vector<FormatCase> cases;
  for (const char* line : kept) cases.push_back({line, line});
  cases.push_back(
      {"<i>The miniature giant space hamster", "<i>La miniatura h\xC3\xA1mster espacial gigante"});
  cases.push_back({"descends from the starry sky.</i>", "desciende del cielo estrellado.</i>"});
  cases.push_back({"{\\an8}<font color=\"#ffff00\">Look at the dog!</font>",
                   "{\\an8}<font color=\"#ffff00\">Cariz en el perro!</font>"});
  // A "<" before a number that is no time opens no tag over the next line.
  cases.push_back({"I <3 the dog.", "I <3 el perro."});
  cases.push_back({"The house is big.", "La casa es grande."});
  // WebVTT's blocks that are not cues, whole: their first lines alone too.
  const FormatCase blocks[] = {{"", ""},
                               {"STYLE", "STYLE"},
                               {"::cue { color: red; }", "::cue { color: red; }", true},
                               {"", ""},
                               {"NOTE the house is big", "NOTE the house is big"},
                               {"the dog barks", "the dog barks", true},
                               {"", ""},
                               {"REGION", "REGION"},
                               {"id:fred width:40%", "id:fred width:40%", true}};
  cases.insert(cases.end(), std::begin(blocks), std::end(blocks));
  return cases;
}

void expectFormatCases(TranslationLibrary& library, const std::vector<FormatCase>& cases) {
  std::vector<std::string> lines;
  for (const FormatCase& row : cases) {
    lines.push_back(row.line);
    if (row.afterLines) continue;
    const CallResult alone = translate(library, "en", "es", row.line);
    EXPECT_TRUE(alone.ok) << row.line << ": " << alone.message;
    EXPECT_EQ(alone.text, row.translation) << row.line;
  }
  const BatchResult batch = translateBatch(library, "en", "es", lines);
  ASSERT_TRUE(batch.ok) << batch.message;
  ASSERT_EQ(batch.records.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(batch.records[i], std::make_pair(0u, cases[i].translation)) << cases[i].line;
  }
}

bool processGroupExists(int groupId) { return ::kill(-groupId, 0) == 0 || errno == EPERM; }

bool waitForGroupToVanish(int groupId, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (processGroupExists(groupId)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

bool isUnreapedChild(int pid) {
  siginfo_t info{};
  return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0;
}

namespace {

// The state letter of a process from /proc/PID/stat, or 0 when it is gone.
char processState(int pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return 0;
  const std::size_t close = line.rfind(')');
  return close == std::string::npos || close + 2 >= line.size() ? 0 : line[close + 2];
}

}  // namespace

bool killAndWaitForEnd(int groupId, const std::vector<int>& pids) {
  if (::kill(-groupId, SIGKILL) != 0) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (int pid : pids) {
    for (char state = processState(pid); state != 0 && state != 'Z'; state = processState(pid)) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  return true;
}

std::vector<int> childProcessesOf(int pid) {
  std::vector<int> children;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // pid (comm) state ppid ...; comm may hold spaces, so read after the last ')'.
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(line.substr(close + 1));
    std::string state;
    int parent = 0;
    rest >> state >> parent;
    if (parent == pid) children.push_back(std::stoi(name));
  }
  return children;
}

std::string longEnglishLine(std::size_t size, std::size_t* sentenceCount) {
  static const char* const kSentences[] = {
      "The house is big and my friend reads a book.",
      "We walked along the river until the sun went down.",
      "The children were playing in the garden when it started to rain.",
      "My brother works at a small company that makes furniture.",
  };
  std::string line;
  std::size_t count = 0;
  while (line.size() < size) {
    if (!line.empty()) line += ' ';
    line += kSentences[count % 4];
    ++count;
  }
  if (sentenceCount != nullptr) *sentenceCount = count;
  return line;
}

ScopedEnvironment::ScopedEnvironment(const char* name, const char* value) : name_(name) {
  if (const char* old = std::getenv(name)) old_ = old;
  if (value != nullptr) {
    ::setenv(name, value, 1);
  } else {
    ::unsetenv(name);
  }
}

ScopedEnvironment::~ScopedEnvironment() {
  if (old_) {
    ::setenv(name_, old_->c_str(), 1);
  } else {
    ::unsetenv(name_);
  }
}

}  // namespace zta::test
