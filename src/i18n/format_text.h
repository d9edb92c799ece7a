#pragma once
#include "platform/shared_text.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace pellora {

// One argument of FormatText.
struct TFormatArg {
  TFormatArg(std::string_view text) : text(text), isText(true) {}
  TFormatArg(const std::string& text) : text(text), isText(true) {}
  TFormatArg(const char* text) : text(text), isText(true) {}
  TFormatArg(const TSharedText& text) : text(text.view()), isText(true) {}
  TFormatArg(long long value) : number(static_cast<double>(value)) {}
  TFormatArg(int value) : number(value) {}
  TFormatArg(unsigned value) : number(value) {}
  TFormatArg(unsigned long long value) : number(static_cast<double>(value)) {}
  TFormatArg(unsigned long value) : number(static_cast<double>(value)) {}
  TFormatArg(long value) : number(static_cast<double>(value)) {}
  TFormatArg(double value) : number(value) {}
  std::string_view text;
  double number = 0;
  bool isText = false;
};

// The program's one formatter of texts, translated ones included: %s, %d, %f and %n (with an
// optional width and precision, as in "%1.2f"), and %%. %n writes thousands separated by ",",
// or by the separator installed with SetThousandSeparator. A missing argument leaves its
// directive out. The format never decides what is read: a translation cannot make it read
// past its arguments.
// Plural forms: "{one|few|many}" in the format (two forms or three, "|" between them) becomes
// the form that the number of the last numeric directive before it takes in the plural rule of
// the language set with SetPluralLanguage ("%d {line|lines}"); before any numeric directive the
// first numeric argument counts. Braces without "|" stay as written.
std::string FormatText(std::string_view format, std::initializer_list<TFormatArg> args);
void SetThousandSeparator(std::string separator);
// The plural rule of a language (a Windows language identifier); English's until set.
void SetPluralLanguage(uint16_t languageId);
// The form (0 one, 1 few, 2 many) a count takes in a language.
int PluralCategory(uint16_t languageId, long long count);

} // namespace pellora
