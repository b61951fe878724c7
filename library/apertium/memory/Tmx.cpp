#include "Tmx.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlwriter.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>

#include "text/LanguageCodes.h"

namespace zta {
namespace {

constexpr const char* kKindProperty = "x-xlate-kind";

using XmlText = std::unique_ptr<xmlChar, void (*)(void*)>;

std::string attribute(xmlNode* node, const char* name, const char* space = nullptr) {
  xmlChar* value = space == nullptr ? xmlGetProp(node, reinterpret_cast<const xmlChar*>(name))
                                    : xmlGetNsProp(node, reinterpret_cast<const xmlChar*>(name),
                                                   reinterpret_cast<const xmlChar*>(space));
  if (value == nullptr) return std::string();
  std::string text(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return text;
}

bool named(xmlNode* node, const char* name) {
  return node->type == XML_ELEMENT_NODE &&
         xmlStrcmp(node->name, reinterpret_cast<const xmlChar*>(name)) == 0;
}

std::string where(const std::string& path, xmlNode* node) {
  return path + ":" + std::to_string(xmlGetLineNo(node));
}

// The language of a tag ("en-US" gives eng), or nothing.
std::optional<Language> tagLanguage(const std::string& tag) {
  const std::string primary = tag.substr(0, tag.find_first_of("-_"));
  return parseLanguageCode(primary);
}

// The text of a <seg>, its inline markup (bpt, ept, ph, ...) left out.
std::string segText(xmlNode* seg) {
  std::string text;
  for (xmlNode* child = seg->children; child != nullptr; child = child->next) {
    if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
      text += reinterpret_cast<const char*>(child->content);
    } else if (named(child, "hi") || named(child, "sub")) {
      text += segText(child);
    }
  }
  return text;
}

// Reads the units of body into entries; throws on the first fault.
void readUnits(const std::string& path, xmlNode* body, const std::string& sourceTag,
               std::vector<MemoryEntry>* entries) {
  for (xmlNode* unit = body->children; unit != nullptr; unit = unit->next) {
    if (!named(unit, "tu")) continue;
    bool machine = false;
    std::string unitSource = attribute(unit, "srclang");
    if (unitSource.empty() || unitSource == "*all*") unitSource = sourceTag;
    std::optional<std::string> source;
    std::vector<std::pair<std::string, std::string>> targets;  // tag, text
    for (xmlNode* child = unit->children; child != nullptr; child = child->next) {
      if (named(child, "prop") && attribute(child, "type") == kKindProperty) {
        XmlText content(xmlNodeGetContent(child), xmlFree);
        machine = content && xmlStrcmp(content.get(), BAD_CAST "machine") == 0;
      }
      if (!named(child, "tuv")) continue;
      std::string tag = attribute(child, "lang", "http://www.w3.org/XML/1998/namespace");
      if (tag.empty()) tag = attribute(child, "lang");  // TMX 1.1's form
      if (!tagLanguage(tag)) {
        throw MemoryError(where(path, child) + ": unknown language tag \"" + tag + "\"");
      }
      xmlNode* seg = child->children;
      while (seg != nullptr && !named(seg, "seg")) seg = seg->next;
      if (seg == nullptr) throw MemoryError(where(path, child) + ": a <tuv> without <seg>");
      const std::optional<Language> language = tagLanguage(tag);
      if (language && tagLanguage(unitSource) && language->code == tagLanguage(unitSource)->code) {
        source = segText(seg);
      } else {
        targets.emplace_back(tag, segText(seg));
      }
    }
    if (machine) continue;
    if (!source) {
      throw MemoryError(where(path, unit) + ": a <tu> with no variant in its source language \"" +
                        unitSource + "\"");
    }
    for (const auto& [tag, text] : targets) {
      if (source->empty() || text.empty()) continue;
      entries->push_back({memoryPairOf(unitSource, tag), *source, text, true});
    }
  }
}

std::vector<std::string> lines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw MemoryError(path + ": cannot be read");
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> all;
  std::string line;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\r' || c == '\n') {
      all.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else {
      line.push_back(c);
    }
  }
  if (!line.empty()) all.push_back(line);
  return all;
}

}  // namespace

std::string memoryPairOf(const std::string& from, const std::string& to) {
  const std::optional<Language> source = tagLanguage(from);
  const std::optional<Language> target = tagLanguage(to);
  if (!source || !target) return std::string();
  return source->code + "-" + target->code;
}

std::vector<MemoryEntry> readTmx(const std::string& path) {
  // No network, no external entities: a TMX file is read as it stands.
  std::unique_ptr<xmlDoc, void (*)(xmlDoc*)> document(
      xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
      xmlFreeDoc);
  if (!document) {
    const xmlError* error = xmlGetLastError();
    std::string why = error != nullptr && error->message != nullptr ? error->message : "unreadable";
    while (!why.empty() && (why.back() == '\n' || why.back() == ' ')) why.pop_back();
    const int line = error != nullptr ? error->line : 0;
    throw MemoryError(path + ":" + std::to_string(line) + ": not well-formed XML: " + why);
  }
  xmlNode* root = xmlDocGetRootElement(document.get());
  if (root == nullptr || !named(root, "tmx")) {
    throw MemoryError(path + ":1: no <tmx> element: not a TMX file");
  }
  std::string sourceTag;
  xmlNode* body = nullptr;
  for (xmlNode* child = root->children; child != nullptr; child = child->next) {
    if (named(child, "header")) sourceTag = attribute(child, "srclang");
    if (named(child, "body")) body = child;
  }
  if (body == nullptr) throw MemoryError(where(path, root) + ": a <tmx> without <body>");
  std::vector<MemoryEntry> entries;
  readUnits(path, body, sourceTag, &entries);
  return entries;
}

std::vector<MemoryEntry> readLinePair(const std::string& sourcePath, const std::string& targetPath,
                                      const std::string& from, const std::string& to) {
  const std::string pair = memoryPairOf(from, to);
  if (pair.empty()) {
    const std::string bad = tagLanguage(from) ? to : from;
    throw MemoryError("unknown language tag \"" + bad + "\"");
  }
  const std::vector<std::string> sources = lines(sourcePath);
  const std::vector<std::string> targets = lines(targetPath);
  if (sources.size() != targets.size()) {
    const std::string& shorter = sources.size() < targets.size() ? sourcePath : targetPath;
    throw MemoryError(shorter + ":" + std::to_string(std::min(sources.size(), targets.size()) + 1) +
                      ": ends here, while " + sourcePath + " has " +
                      std::to_string(sources.size()) + " lines and " + targetPath + " has " +
                      std::to_string(targets.size()));
  }
  std::vector<MemoryEntry> entries;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    if (sources[i].empty()) continue;
    entries.push_back({pair, sources[i], targets[i], true});
  }
  return entries;
}

void writeTmx(const std::string& path, const std::vector<MemoryEntry>& entries) {
  // Written beside the file and renamed over it, so that a failure leaves
  // no half-written TMX.
  const std::string temporary = path + ".part";
  xmlTextWriterPtr writer = xmlNewTextWriterFilename(temporary.c_str(), 0);
  if (writer == nullptr) throw MemoryError(path + ": cannot be written");
  bool ok =
      xmlTextWriterSetIndent(writer, 1) >= 0 &&
      xmlTextWriterStartDocument(writer, nullptr, "UTF-8", nullptr) >= 0 &&
      xmlTextWriterStartElement(writer, BAD_CAST "tmx") >= 0 &&
      xmlTextWriterWriteAttribute(writer, BAD_CAST "version", BAD_CAST "1.4") >= 0 &&
      xmlTextWriterStartElement(writer, BAD_CAST "header") >= 0 &&
      xmlTextWriterWriteAttribute(writer, BAD_CAST "creationtool", BAD_CAST "xlate-memory") >= 0 &&
      xmlTextWriterWriteAttribute(writer, BAD_CAST "creationtoolversion", BAD_CAST "1") >= 0 &&
      xmlTextWriterWriteAttribute(writer, BAD_CAST "segtype", BAD_CAST "sentence") >= 0 &&
      xmlTextWriterWriteAttribute(writer, BAD_CAST "o-tmf", BAD_CAST "xlate-memory") >= 0 &&
      xmlTextWriterWriteAttribute(writer, BAD_CAST "adminlang", BAD_CAST "en") >= 0 &&
      xmlTextWriterWriteAttribute(writer, BAD_CAST "srclang", BAD_CAST "*all*") >= 0 &&
      xmlTextWriterWriteAttribute(writer, BAD_CAST "datatype", BAD_CAST "plaintext") >= 0 &&
      xmlTextWriterEndElement(writer) >= 0 &&
      xmlTextWriterStartElement(writer, BAD_CAST "body") >= 0;
  for (const MemoryEntry& entry : entries) {
    if (!ok) break;
    const std::size_t dash = entry.pair.find('-');
    // The tags as translators write them: "en" for eng.
    const std::string from = displayCode(Language{entry.pair.substr(0, dash), {}});
    const std::string to = displayCode(
        Language{dash == std::string::npos ? std::string() : entry.pair.substr(dash + 1), {}});
    ok = xmlTextWriterStartElement(writer, BAD_CAST "tu") >= 0 &&
         xmlTextWriterWriteAttribute(writer, BAD_CAST "srclang", BAD_CAST from.c_str()) >= 0;
    if (ok && !entry.human) {
      ok = xmlTextWriterStartElement(writer, BAD_CAST "prop") >= 0 &&
           xmlTextWriterWriteAttribute(writer, BAD_CAST "type", BAD_CAST kKindProperty) >= 0 &&
           xmlTextWriterWriteString(writer, BAD_CAST "machine") >= 0 &&
           xmlTextWriterEndElement(writer) >= 0;
    }
    for (const auto& [tag, text] : {std::pair(from, &entry.source), std::pair(to, &entry.target)}) {
      ok = ok && xmlTextWriterStartElement(writer, BAD_CAST "tuv") >= 0 &&
           xmlTextWriterWriteAttribute(writer, BAD_CAST "xml:lang", BAD_CAST tag.c_str()) >= 0 &&
           xmlTextWriterWriteElement(writer, BAD_CAST "seg", BAD_CAST text->c_str()) >= 0 &&
           xmlTextWriterEndElement(writer) >= 0;
    }
    ok = ok && xmlTextWriterEndElement(writer) >= 0;
  }
  ok = ok && xmlTextWriterEndDocument(writer) >= 0;
  xmlFreeTextWriter(writer);
  if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    throw MemoryError(path + ": cannot be written");
  }
}

}  // namespace zta
