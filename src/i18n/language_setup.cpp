#include "i18n/language_setup.h"

#include "i18n/language_manager.h"
#include "platform/files.h"

#include <algorithm>
#include <filesystem>

namespace pellora {
namespace {

std::string Canonical(const std::string& folder) {
  std::error_code error;
  auto path = std::filesystem::weakly_canonical(folder, error);
  return error ? ExcludeTrailingPathDelimiter(folder) : path.string();
}

} // namespace

std::vector<std::string> LanguageFolders(const std::string& programFolder) {
  std::vector<std::string> candidates;
#ifdef PELLORA_INSTALLED_LANGUAGES
  candidates.push_back(PELLORA_INSTALLED_LANGUAGES);
#endif
  candidates.push_back(IncludeTrailingPathDelimiter(programFolder) + "../share/pellora/languages");
#if defined(PELLORA_BUILD_FOLDER) && defined(PELLORA_SOURCE_LANGUAGES)
  if (Canonical(programFolder) == Canonical(PELLORA_BUILD_FOLDER))
    candidates.push_back(PELLORA_SOURCE_LANGUAGES);
#endif
  candidates.push_back(programFolder);
  std::vector<std::string> folders;
  std::vector<std::string> seen;
  for (const std::string& folder : candidates) {
    std::string canonical = Canonical(folder);
    if (!DirectoryExists(canonical) || std::find(seen.begin(), seen.end(), canonical) != seen.end())
      continue;
    seen.push_back(canonical);
    folders.push_back(canonical);
  }
  return folders;
}

void StartLanguages(TLanguageManager& manager, const std::vector<std::string>& folders,
                    TLanguageId userLanguage) {
  manager.SetDefaultLanguage(LangEnglishUS);
  for (const std::string& folder : folders)
    manager.FindLanguageFiles(folder, "*.lng", false);
  manager.SelectUserLanguage(userLanguage);
}

} // namespace pellora
