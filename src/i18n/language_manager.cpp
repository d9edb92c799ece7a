#include "i18n/language_manager.h"

#include "i18n/constant_block.h"
#include "i18n/format_text.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/pellora_error.h"

#include <algorithm>
#include <mutex>

namespace pellora {

// ---------------------------------------------------------------------------------------------

TLanguageController::TLanguageController(std::string section) : FSection(std::move(section)) {}

TLanguageController::~TLanguageController() {
  if (FManager) FManager->Unregister(this);
}

void TLanguageController::Attach(TLanguageManager& manager) {
  if (FManager) return;
  FManager = &manager;
  manager.Register(this);
  if (auto file = manager.CurrentFile()) ApplyLanguage(file.get());
}

void TLanguageController::ApplyLanguage(const TLanguageFile* file) {
  for (const TEntry& entry : FEntries) {
    const std::string* text = file ? file->Text(FSection, entry.text.id) : nullptr;
    WriteText(entry, text ? *text : entry.builtIn);
  }
  LanguageChanged();
}

// ---------------------------------------------------------------------------------------------

TLanguageManager::TLanguageManager() {
  for (auto& record : ReadConstantBlock(BuiltInConstantBlock(), CodePageOfLanguage(FDefault)))
    FConstants.push_back({UpperCaseAscii(record.name), record.name, record.text, record.text});
  std::sort(FConstants.begin(), FConstants.end(),
            [](const TConstant& a, const TConstant& b) { return a.key < b.key; });
  FCodePage = CodePageOfLanguage(FCurrent);
}

TLanguageManager& TLanguageManager::Instance() {
  static TLanguageManager manager;
  return manager;
}

TLanguageId TLanguageManager::DefaultLanguage() const {
  std::shared_lock lock(FLock);
  return FDefault;
}

void TLanguageManager::SetDefaultLanguage(TLanguageId id) {
  std::unique_lock lock(FLock);
  FDefault = id;
}

TLanguageId TLanguageManager::CurrentLanguage() const {
  std::shared_lock lock(FLock);
  return FCurrent;
}

int TLanguageManager::CurrentCodePage() const {
  std::shared_lock lock(FLock);
  return FCodePage;
}

int TLanguageManager::FindLanguageFiles(const std::string& folder, std::string_view mask,
                                        bool descend) {
  std::vector<std::string> entries;
  FindFiles(folder, "*", faAnyFile, false, &entries);
  // Directory order differs between file systems; name order makes "the last file of a
  // language wins" the same everywhere.
  std::sort(entries.begin(), entries.end());
  int accepted = 0;
  for (const std::string& entry : entries) {
    std::string name = ExtractFileName(entry);
    if (DirectoryExists(entry)) {
      if (descend && !name.empty() && name[0] != '.')
        accepted += FindLanguageFiles(entry, mask, true);
    } else if (MatchesMask(name, mask) && AddLanguageFile(entry)) {
      ++accepted;
    }
  }
  return accepted;
}

bool TLanguageManager::AddLanguageFile(const std::string& path) {
  if (!FileExists(path)) return false;
  TLanguageId id;
  try {
    id = ReadLanguageFile(path, true).langId;
  } catch (const std::exception&) {
    return false;
  }
  if (id == 0) return false;
  std::unique_lock lock(FLock);
  if (id == FDefault) return true;
  for (auto& language : FLanguages)
    if (language.id == id) {
      language.path = path;
      return true;
    }
  FLanguages.push_back({id, path});
  return true;
}

int TLanguageManager::LanguageCount() const {
  std::shared_lock lock(FLock);
  return static_cast<int>(FLanguages.size()) + 1;
}

TLanguageId TLanguageManager::LanguageAt(int number) const {
  std::shared_lock lock(FLock);
  if (number <= 0 || number > static_cast<int>(FLanguages.size())) return FDefault;
  return FLanguages[number - 1].id;
}

std::string TLanguageManager::LanguageFileAt(int number) const {
  std::shared_lock lock(FLock);
  if (number <= 0 || number > static_cast<int>(FLanguages.size())) return {};
  return FLanguages[number - 1].path;
}

void TLanguageManager::SelectLanguage(TLanguageId id) {
  std::string path;
  {
    std::shared_lock lock(FLock);
    for (const auto& language : FLanguages)
      if (language.id == id && id != FDefault) path = language.path;
    if (path.empty()) id = FDefault;
  }
  std::shared_ptr<const TLanguageFile> file;
  if (!path.empty()) file = std::make_shared<const TLanguageFile>(ReadLanguageFile(path));

  std::vector<TLanguageController*> controllers;
  {
    std::unique_lock lock(FLock);
    if (id == FCurrent) return;
    FCurrent = id;
    FCodePage = CodePageOfLanguage(id);
    SetPluralLanguage(id); // counts in the texts follow the language's plural forms
    FFile = file;
    for (TConstant& constant : FConstants) {
      if (!file) {
        constant.text = constant.builtIn;
      } else if (auto it = file->constants.find(constant.key); it != file->constants.end()) {
        constant.text = it->second;
      }
    }
    controllers = FControllers;
  }
  // Outside the lock: a window's language-changed handler reads constants.
  for (TLanguageController* controller : controllers)
    if (IsLive(controller)) controller->ApplyLanguage(file.get());
}

void TLanguageManager::SelectUserLanguage(TLanguageId user) {
  int count = LanguageCount();
  for (int n = 0; n < count; ++n)
    if (LanguageAt(n) == user) return SelectLanguage(user);
  for (int n = 0; n < count; ++n)
    if (PrimaryLanguage(LanguageAt(n)) == PrimaryLanguage(user))
      return SelectLanguage(LanguageAt(n));
}

const TLanguageManager::TConstant* TLanguageManager::Find(std::string_view name) const {
  std::string key = UpperCaseAscii(name);
  auto it = std::lower_bound(FConstants.begin(), FConstants.end(), key,
                             [](const TConstant& c, const std::string& k) { return c.key < k; });
  return it != FConstants.end() && it->key == key ? &*it : nullptr;
}

std::string TLanguageManager::ConstantText(std::string_view name) const {
  std::shared_lock lock(FLock);
  if (const TConstant* constant = Find(name)) return constant->text;
  throw EPelloraError(FormatText("Constant \"%s\" not found", {name}));
}

std::string TLanguageManager::BuiltInText(std::string_view name) const {
  std::shared_lock lock(FLock);
  if (const TConstant* constant = Find(name)) return constant->builtIn;
  throw EPelloraError(FormatText("Constant \"%s\" not found", {name}));
}

std::vector<std::string> TLanguageManager::ConstantNames() const {
  std::shared_lock lock(FLock);
  std::vector<std::string> names;
  for (const auto& constant : FConstants)
    names.push_back(constant.name);
  return names;
}

void TLanguageManager::Register(TLanguageController* controller) {
  std::unique_lock lock(FLock);
  FControllers.push_back(controller);
}

void TLanguageManager::Unregister(TLanguageController* controller) {
  std::unique_lock lock(FLock);
  std::erase(FControllers, controller);
}

bool TLanguageManager::IsLive(TLanguageController* controller) const {
  std::shared_lock lock(FLock);
  return std::find(FControllers.begin(), FControllers.end(), controller) != FControllers.end();
}

std::shared_ptr<const TLanguageFile> TLanguageManager::CurrentFile() const {
  std::shared_lock lock(FLock);
  return FFile;
}

} // namespace pellora
