#include "platform/codepage.h"

#include <gtest/gtest.h>

using namespace pellora;

TEST(CodePage, LanguagesMapAsWindowsDoes) {
  struct Case { const char* locale; int codePage; } cases[] = {
      {"cs_CZ.UTF-8", 1250}, {"ru_RU", 1251}, {"el_GR.UTF-8", 1253}, {"tr", 1254},
      {"he_IL", 1255},       {"fa_IR", 1256}, {"lv_LV", 1257},       {"vi_VN", 1258},
      {"th_TH", 874},        {"de_DE", 1252}, {"C.UTF-8", 1252},     {"", 1252}};
  for (const auto& c : cases) EXPECT_EQ(CodePageForLocaleName(c.locale), c.codePage) << c.locale;
}

TEST(CodePage, Utf8ToAnsi) {
  struct Case { const char* utf8; int codePage; const char* ansi; } cases[] = {
      {"Caf\xC3\xA9", 1252, "Caf\xE9"},
      {"\xE2\x82\xAC 5", 1252, "\x80 5"},               // euro sign lives at 0x80
      {"\xC5\x99\xC3\xADp", 1250, "\xF8\xEDp"},          // Czech letters in 1250
      {"\xC5\x99", 1252, "?"},                           // not in 1252
      {"x\xF0\x9F\x98\x80y", 1252, "x?y"},               // four bytes: one character
      {"a\xE9z", 1252, "a?z"},                           // raw Latin-1 byte
      {"a\xE2\x82", 1252, "a??"},                        // cut sequence: one ? per byte
      {"\xC0\xAF", 1252, "??"},                          // overlong form
      {"\xED\xA0\x80", 1252, "???"},                     // surrogate
      {"plain ascii", 1252, "plain ascii"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToAnsi(c.utf8, c.codePage), c.ansi) << c.utf8;
}

TEST(CodePage, AnsiToUtf8RoundTrips) {
  for (int codePage : {874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257}) {
    std::string all;
    for (int b = 0x20; b < 256; ++b) all += static_cast<char>(b);
    std::string back = Utf8ToAnsi(AnsiToUtf8(all, codePage), codePage);
    EXPECT_EQ(back, all) << codePage;
  }
  EXPECT_EQ(AnsiToUtf8("\x80", 1252), "\xE2\x82\xAC");
  EXPECT_EQ(AnsiToUtf8("\xE0", 1251), "\xD0\xB0"); // Cyrillic a
}

TEST(CodePage, EnvironmentOverrideAndSetter) {
  SetAnsiCodePage(1251);
  EXPECT_EQ(AnsiCodePage(), 1251);
  EXPECT_EQ(Utf8ToAnsi("\xD0\xB0"), "\xE0");
  SetAnsiCodePage(0);
  EXPECT_EQ(AnsiCodePage(), 1252); // the tests run with PELLORA_CODEPAGE=1252
}
