#pragma once
// One header line: its name and spacing normalized, its value and its parameters read and
// rewritten, parameters in the form of RFC 2231 decoded; and a line found among a header's.
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

std::string NormalizeHeaderLine(std::string_view line);
// The value between the colon and the first parameter, unquoted.
std::string FieldValueOf(std::string_view line);
std::string WithFieldValue(std::string_view line, std::string_view value);
std::string FieldParamOf(std::string_view line, std::string_view paramName);
// A parameter in the form of RFC 2231 ("name*=utf-8''%E2%82%AC.txt", or numbered pieces
// "name*0*=", "name*1=", ...) decoded into the code page; false when the line has it in no
// such form.
bool ExtendedParamOf(std::string_view line, std::string_view paramName, std::string& text);
std::string WithFieldParam(std::string_view line, std::string_view paramName,
                           std::string_view value);

// Index of the occurrence-th line (from 0) starting with prefix, ASCII case ignored; -1 if none.
int FindHeaderLine(const std::vector<std::string>& lines, std::string_view prefix,
                   int occurrence = 0);

} // namespace pellora
