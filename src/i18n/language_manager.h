#pragma once
#include "i18n/language_file.h"
#include "i18n/language_ids.h"
#include "i18n/window_texts.h"

#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

class TLanguageManager;

// The translatable texts of one window: its section name, and per text the built-in text
// captured from the window when it was made. A subclass writes texts into the window's
// controls; the manager applies languages to every live controller.
class TLanguageController {
public:
  explicit TLanguageController(std::string section);
  virtual ~TLanguageController();
  TLanguageController(const TLanguageController&) = delete;
  TLanguageController& operator=(const TLanguageController&) = delete;

  const std::string& Section() const { return FSection; }

  // Registers with the manager and, when its language is not the built-in one, applies it now.
  void Attach(TLanguageManager& manager);
  // Sets every text from the file's section (the built-in text where it has none; all built-in
  // texts without a file), then calls LanguageChanged.
  void ApplyLanguage(const TLanguageFile* file);

protected:
  struct TEntry {
    TTranslatableText text;
    std::string builtIn; // UTF-8
  };
  // The entries of texts that the window has, with their built-in texts; entries of
  // components that do not exist are left out.
  std::vector<TEntry> FEntries;

  // Writes a text (UTF-8) into the window; false when the control has gone.
  virtual bool WriteText(const TEntry& entry, const std::string& text) = 0;
  virtual void LanguageChanged() {}

private:
  std::string FSection;
  TLanguageManager* FManager = nullptr;
};

// The process's languages: the registered language files, the current language, the constants.
class TLanguageManager {
public:
  TLanguageManager();
  // The process's manager, made on first use.
  static TLanguageManager& Instance();

  TLanguageId DefaultLanguage() const;
  void SetDefaultLanguage(TLanguageId id);
  TLanguageId CurrentLanguage() const;
  int CurrentCodePage() const;

  // Registers the files of a folder whose names match mask (and, when descending, of the
  // sub-folders whose names do not start with "."); returns how many were accepted.
  int FindLanguageFiles(const std::string& folder, std::string_view mask, bool descend);
  // Accepts a file whose header names a language other than 0, and registers it unless its
  // language is the default one; a later file of a language replaces the earlier.
  bool AddLanguageFile(const std::string& path);
  // Registered languages plus one: number 0 is the default language.
  int LanguageCount() const;
  TLanguageId LanguageAt(int number) const;
  std::string LanguageFileAt(int number) const;

  // Reads the language's file and applies it everywhere; the default language, or one not
  // registered, brings the built-in texts back. A file that cannot be read raises its error,
  // and nothing changes.
  void SelectLanguage(TLanguageId id);
  // At start: the first language (in number order) that is the user's; else, mended, the first
  // of the user's primary language (so 2057 finds the default 1033, and 3079 a 1031 file).
  // With none, the built-in texts stay.
  void SelectUserLanguage(TLanguageId user);

  // The current text (UTF-8); raises EPelloraError "Constant "%s" not found".
  std::string ConstantText(std::string_view name) const;
  std::string BuiltInText(std::string_view name) const;
  std::vector<std::string> ConstantNames() const;

  void Register(TLanguageController* controller);
  void Unregister(TLanguageController* controller);
  // The language applied to a controller made now: nullptr while the default one is current.
  std::shared_ptr<const TLanguageFile> CurrentFile() const;

private:
  struct TConstant {
    std::string key; // upper-cased name
    std::string name;
    std::string text;
    std::string builtIn;
  };
  struct TRegistered {
    TLanguageId id;
    std::string path;
  };
  const TConstant* Find(std::string_view name) const;
  bool IsLive(TLanguageController* controller) const;

  mutable std::shared_mutex FLock;
  TLanguageId FDefault = LangEnglishUS;
  TLanguageId FCurrent = LangEnglishUS;
  int FCodePage = 1252;
  std::vector<TRegistered> FLanguages;
  std::vector<TConstant> FConstants; // sorted by key
  std::vector<TLanguageController*> FControllers;
  std::shared_ptr<const TLanguageFile> FFile;
};

} // namespace pellora
