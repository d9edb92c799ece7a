#pragma once
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

struct TLocalizedConstant {
  const char* name;
  const char* builtIn;
};

// The constants with their built-in English texts, in the order the program stores them.
const std::vector<TLocalizedConstant>& LocalizedConstants();

// The current text of a constant (its name compared without ASCII case) in the ANSI code page,
// with every "/n" turned into CR LF; "" when there is no such constant.
std::string GetLocalizedText(std::string_view name);
// Language files replace current texts (given as UTF-8); false for an unknown name.
bool SetLocalizedText(std::string_view name, std::string_view utf8Text);
void ResetLocalizedTexts();

// Captions of the question, information and error boxes.
struct TMessageBoxCaptions {
  std::string confirmation = "Confirmation";
  std::string information = "Information";
  std::string error = "Error";
};
TMessageBoxCaptions& MessageBoxCaptions();
// Takes the captions from the current texts of lc_Confirmation, lc_Information and lc_Error.
void UpdateMessageBoxCaptions();

// One argument of FormatText.
struct TFormatArg {
  TFormatArg(std::string_view text) : text(text), isText(true) {}
  TFormatArg(const std::string& text) : text(text), isText(true) {}
  TFormatArg(const char* text) : text(text), isText(true) {}
  TFormatArg(long long value) : number(static_cast<double>(value)) {}
  TFormatArg(int value) : number(value) {}
  TFormatArg(unsigned long long value) : number(static_cast<double>(value)) {}
  TFormatArg(unsigned long value) : number(static_cast<double>(value)) {}
  TFormatArg(long value) : number(static_cast<double>(value)) {}
  TFormatArg(double value) : number(value) {}
  std::string_view text;
  double number = 0;
  bool isText = false;
};
// Fills the program's formats: %s, %d, %f and %n (with an optional width and precision, as in
// "%1.2f"), and %%. %n writes thousands separated by ",", or by the separator installed with
// SetThousandSeparator. A missing argument leaves its directive out.
std::string FormatText(std::string_view format, std::initializer_list<TFormatArg> args);
void SetThousandSeparator(std::string separator);

// The text of the top-level error report: a full stop is added when the text is not empty and
// its last character sorts after "." (a letter, a digit, "?"), not after ".", ")" or "!".
std::string ErrorReportText(std::string_view message);

} // namespace pellora
