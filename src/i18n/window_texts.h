#pragma once
#include <string_view>
#include <vector>

namespace pellora {

// One translatable text of a window: the component (empty for the form itself), the property
// path relative to it ("Caption", "Hint", "Columns[0].Caption", "InfoCaption.OkButton") and the
// identifier the language files use for it.
struct TTranslatableText {
  std::string_view component;
  std::string_view property;
  int id;
};

// The sections of the language files that name windows.
const std::vector<std::string_view>& TranslatableSections();
// The translatable texts of a window's section (found without regard to ASCII case); empty for
// an unknown section.
const std::vector<TTranslatableText>& TranslatableTexts(std::string_view section);

} // namespace pellora
