#include "i18n/language_ids.h"

#include "platform/codepage.h"

#include <cctype>
#include <cstdlib>
#include <string>

namespace pellora {
namespace {

struct TLanguage {
  std::string_view code; // ISO 639-1
  uint16_t primary;
};

constexpr TLanguage languages[] = {
    {"ar", 0x01}, {"bg", 0x02}, {"ca", 0x03}, {"zh", 0x04}, {"cs", 0x05}, {"da", 0x06},
    {"de", 0x07}, {"el", 0x08}, {"en", 0x09}, {"es", 0x0A}, {"fi", 0x0B}, {"fr", 0x0C},
    {"he", 0x0D}, {"hu", 0x0E}, {"is", 0x0F}, {"it", 0x10}, {"ja", 0x11}, {"ko", 0x12},
    {"nl", 0x13}, {"nb", 0x14}, {"no", 0x14}, {"nn", 0x14}, {"pl", 0x15}, {"pt", 0x16},
    {"ro", 0x18}, {"ru", 0x19}, {"hr", 0x1A}, {"sr", 0x1A}, {"bs", 0x1A}, {"sk", 0x1B},
    {"sq", 0x1C}, {"sv", 0x1D}, {"th", 0x1E}, {"tr", 0x1F}, {"ur", 0x20}, {"id", 0x21},
    {"uk", 0x22}, {"be", 0x23}, {"sl", 0x24}, {"et", 0x25}, {"lv", 0x26}, {"lt", 0x27},
    {"fa", 0x29}, {"vi", 0x2A}, {"hy", 0x2B}, {"az", 0x2C}, {"eu", 0x2D}, {"mk", 0x2F},
    {"af", 0x36}, {"ka", 0x37}, {"fo", 0x38}, {"hi", 0x39}, {"mt", 0x3A}, {"ga", 0x3C},
    {"ms", 0x3E}, {"kk", 0x3F}, {"sw", 0x41}, {"gl", 0x56},
};

// Locales whose identifier is not the language's first one.
struct TVariant {
  std::string_view locale; // language_TERRITORY
  TLanguageId id;
};

constexpr TVariant variants[] = {
    {"en_GB", 0x0809}, {"en_AU", 0x0C09}, {"en_CA", 0x1009}, {"en_NZ", 0x1409}, {"en_IE", 0x1809},
    {"en_ZA", 0x1C09}, {"en_IN", 0x4009}, {"de_CH", 0x0807}, {"de_AT", 0x0C07}, {"de_LU", 0x1007},
    {"de_LI", 0x1407}, {"fr_BE", 0x080C}, {"fr_CA", 0x0C0C}, {"fr_CH", 0x100C}, {"fr_LU", 0x140C},
    {"es_ES", 0x0C0A}, {"es_MX", 0x080A}, {"it_CH", 0x0810}, {"nl_BE", 0x0813}, {"pt_PT", 0x0816},
    {"sv_FI", 0x081D}, {"zh_CN", 0x0804}, {"zh_HK", 0x0C04}, {"zh_SG", 0x1004}, {"nn_NO", 0x0814},
    {"sr_RS", 0x0C1A}, {"bs_BA", 0x141A}, {"ru_MD", 0x0819},
};

} // namespace

TLanguageId LanguageIdOfLocaleName(std::string_view localeName) {
  std::string language, territory;
  size_t i = 0;
  for (; i < localeName.size() && std::isalpha(static_cast<unsigned char>(localeName[i])); ++i)
    language += static_cast<char>(std::tolower(static_cast<unsigned char>(localeName[i])));
  if (i < localeName.size() && (localeName[i] == '_' || localeName[i] == '-'))
    for (++i; i < localeName.size() && std::isalpha(static_cast<unsigned char>(localeName[i])); ++i)
      territory += static_cast<char>(std::toupper(static_cast<unsigned char>(localeName[i])));
  std::string locale = language + "_" + territory;
  for (const auto& v : variants)
    if (v.locale == locale) return v.id;
  if (language == "es") return 0x0C0A; // modern sort, as Windows gives Spanish
  if (language == "sr") return 0x0C1A; // Cyrillic
  if (language == "bs") return 0x141A;
  for (const auto& l : languages)
    if (l.code == language) return static_cast<TLanguageId>(1 << 10 | l.primary);
  return LangEnglishUS;
}

TLanguageId UserLanguageId() {
  if (const char* forced = std::getenv("PELLORA_LANGUAGE"); forced && *forced) {
    long value = std::strtol(forced, nullptr, 10);
    if (value > 0 && value <= 0xFFFF) return static_cast<TLanguageId>(value);
  }
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return LanguageIdOfLocaleName(value);
  }
  return LangEnglishUS;
}

std::string_view LanguageCodeOf(TLanguageId id) {
  for (const auto& l : languages)
    if (l.primary == PrimaryLanguage(id)) return l.code;
  return {};
}

int CodePageOfLanguage(TLanguageId id) {
  // Serbian in Cyrillic writes in 1251, its Latin forms and Croatian in 1250.
  if (id == 0x0C1A || id == 0x1C1A) return 1251;
  const std::string_view code = LanguageCodeOf(id);
  return code.empty() ? 1252 : CodePageForLocaleName(code);
}

} // namespace pellora
