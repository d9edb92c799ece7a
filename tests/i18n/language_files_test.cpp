// The language files the program ships: each loads, and translates every constant and every
// text of every window.
#include "i18n/language_file.h"
#include "i18n/language_manager.h"
#include "i18n/language_setup.h"
#include "i18n/window_texts.h"

#include <gtest/gtest.h>

#include <set>

using namespace pellora;

namespace {

struct TShipped {
  const char* file;
  TLanguageId id;
};
constexpr TShipped shipped[] = {{"german.lng", 1031}, {"russian.lng", 1049}};

std::string PathOf(const char* file) {
  return std::string(PELLORA_LANGUAGES) + "/" + file;
}

} // namespace

TEST(ShippedLanguages, TranslateEveryConstantAndWindowText) {
  TLanguageManager builtIn;
  for (const auto& s : shipped) {
    SCOPED_TRACE(s.file);
    TLanguageFile file = ReadLanguageFile(PathOf(s.file));
    EXPECT_EQ(file.langId, s.id);

    std::set<std::string> names;
    for (const std::string& name : builtIn.ConstantNames()) {
      std::string key = name;
      for (char& c : key)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      names.insert(key);
      auto it = file.constants.find(key);
      EXPECT_TRUE(it != file.constants.end() && !it->second.empty()) << "constant " << name;
    }
    for (const auto& [key, text] : file.constants)
      EXPECT_TRUE(names.count(key)) << "unknown constant " << key;

    std::set<std::string> sections;
    for (std::string_view section : TranslatableSections()) {
      std::set<int> ids;
      for (const TTranslatableText& text : TranslatableTexts(section)) {
        ids.insert(text.id);
        const std::string* translated = file.Text(section, text.id);
        EXPECT_TRUE(translated && !translated->empty()) << section << " " << text.id;
      }
      std::string key(section);
      for (char& c : key)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      sections.insert(key);
      if (auto it = file.sections.find(key); it != file.sections.end()) {
        for (const auto& [id, text] : it->second)
          EXPECT_TRUE(ids.count(id)) << section << " has no text " << id;
      }
    }
    for (const auto& [key, texts] : file.sections)
      EXPECT_TRUE(sections.count(key)) << "unknown section " << key;
  }
}

TEST(ShippedLanguages, FormatsKeepTheirDirectives) {
  // A translated format must take the same arguments in the same order as the built-in one.
  TLanguageManager builtIn;
  auto directives = [](const std::string& text) {
    std::string found;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
      if (text[i] != '%') continue;
      size_t j = i + 1;
      while (j < text.size() &&
             (std::isdigit(static_cast<unsigned char>(text[j])) || text[j] == '.'))
        ++j;
      if (j < text.size()) found += text[j];
      i = j;
    }
    return found;
  };
  for (const auto& s : shipped) {
    TLanguageFile file = ReadLanguageFile(PathOf(s.file));
    for (const std::string& name : builtIn.ConstantNames()) {
      std::string key = name;
      for (char& c : key)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      auto it = file.constants.find(key);
      if (it == file.constants.end()) continue;
      EXPECT_EQ(directives(it->second), directives(builtIn.BuiltInText(name)))
          << s.file << " " << name;
    }
  }
}

TEST(ShippedLanguages, AreFoundFromTheBuildFolder) {
  auto folders = LanguageFolders(PELLORA_BUILD_FOLDER_FOR_TESTS);
  TLanguageManager manager;
  for (const auto& folder : folders)
    manager.FindLanguageFiles(folder, "*.lng", false);
  std::set<TLanguageId> ids;
  for (int n = 1; n < manager.LanguageCount(); ++n)
    ids.insert(manager.LanguageAt(n));
  for (const auto& s : shipped)
    EXPECT_TRUE(ids.count(s.id)) << s.file;
}
