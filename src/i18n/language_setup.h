#pragma once
#include "i18n/language_ids.h"

#include <string>
#include <vector>

namespace pellora {

class TLanguageManager;

// Where the language files are looked for, in registration order (a later file of a language
// replaces an earlier one, so the program's own folder wins): the installed data folder, the
// source tree's "languages" when the program runs from its build folder, the program's folder.
std::vector<std::string> LanguageFolders(const std::string& programFolder);

// The start-up of the frame: 1033 becomes the default language, the "*.lng" files of the
// folders are registered and the user's language is selected. A file that cannot be read
// raises its error.
void StartLanguages(TLanguageManager& manager, const std::vector<std::string>& folders,
                    TLanguageId userLanguage);

} // namespace pellora
