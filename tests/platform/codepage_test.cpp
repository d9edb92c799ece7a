#include "platform/codepage.h"

#include "support/scoped_env.h"

#include <gtest/gtest.h>

using namespace pellora;

TEST(CodePage, LanguagesMapAsWindowsDoes) {
  struct Case { const char* locale; int codePage; } cases[] = {
      {"cs_CZ.UTF-8", 1250}, {"ru_RU", 1251}, {"el_GR.UTF-8", 1253}, {"tr", 1254},
      {"he_IL", 1255},       {"fa_IR", 1256}, {"lv_LV", 1257},       {"vi_VN", 1258},
      {"th_TH", 874},        {"de_DE", 1252}, {"C.UTF-8", 1252},     {"", 1252}};
  for (const auto& c : cases) EXPECT_EQ(CodePageForLocaleName(c.locale), c.codePage) << c.locale;
}

TEST(CodePage, Utf8LocalesAreUtf8) {
  struct Case {
    const char* locale;
    int codePage;
  } cases[] = {{"en_US.UTF-8", 65001},
               {"ru_RU.utf8", 65001},
               {"C.UTF-8", 65001},
               {"el_GR.UTF-8@x", 65001},
               {"ru_RU.KOI8-R", 1251},
               {"ru_RU", 1251},
               {"de_DE@euro", 1252},
               {"C", 1252},
               {"", 1252}};
  for (const auto& c : cases)
    EXPECT_EQ(AnsiCodePageForLocaleName(c.locale), c.codePage) << c.locale;
}

TEST(CodePage, Utf8ToAnsi) {
  struct Case {
    const char* utf8;
    int codePage;
    const char* ansi;
  } cases[] = {
      {"Caf\xC3\xA9", 1252, "Caf\xE9"},
      {"\xE2\x82\xAC 5", 1252, "\x80 5"},       // euro sign lives at 0x80
      {"\xC5\x99\xC3\xADp", 1250, "\xF8\xEDp"}, // Czech letters in 1250
      {"\xC5\x99", 1252, "?"},                  // not in 1252
      {"x\xF0\x9F\x98\x80y", 1252, "x?y"},      // four bytes: one character
      {"a\xE9z", 1252, "a?z"},                  // raw Latin-1 byte
      {"a\xE2\x82", 1252, "a??"},               // cut sequence: one ? per byte
      {"\xC0\xAF", 1252, "??"},                 // overlong form
      {"\xED\xA0\x80", 1252, "???"},            // surrogate
      {"plain ascii", 1252, "plain ascii"},
      {"Caf\xC3\xA9 \xE6\x97\xA5", 65001, "Caf\xC3\xA9 \xE6\x97\xA5"},
      {"a\xE9z\xE2\x82", 65001, "a?z??"},
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
  EXPECT_EQ(AnsiToUtf8("\xD0\xB0", 65001), "\xD0\xB0");
  EXPECT_EQ(AnsiToUtf8("a\xE0z", 65001), "a\xEF\xBF\xBDz"); // never invalid UTF-8 out
  // Runs of ASCII longer than a word, between and after other bytes.
  EXPECT_EQ(AnsiToUtf8("abcdefghij\xE0klmnopqrstu\xE0v", 1251),
            "abcdefghij\xD0\xB0klmnopqrstu\xD0\xB0v");
  EXPECT_EQ(Utf8ToAnsi("0123456789\xFF"
                       "abcdefgh\xC3\xA9xyz",
                       65001),
            "0123456789?abcdefgh\xC3\xA9xyz");
}

TEST(CodePage, EnvironmentOverrideAndSetter) {
  SetAnsiCodePage(1251);
  EXPECT_EQ(AnsiCodePage(), 1251);
  EXPECT_EQ(Utf8ToAnsi("\xD0\xB0"), "\xE0");
  SetAnsiCodePage(0);
  EXPECT_EQ(AnsiCodePage(), 1252); // the tests run with PELLORA_CODEPAGE=1252
}

TEST(CodePage, LegacyCodePage) {
  {
    test::TScopedCodePages pages(1251, 0);
    EXPECT_EQ(LegacyCodePage(), 1251); // a code page that is not UTF-8 is its own legacy one
  }
  {
    test::TScopedCodePages pages(65001, 0);
    EXPECT_EQ(LegacyCodePage(), 1252); // under UTF-8, the language's: C.UTF-8 here
  }
  test::TScopedCodePages pages(65001, 1251);
  EXPECT_EQ(LegacyCodePage(), 1251);
}

TEST(CodePage, UndeclaredText) {
  struct {
    int ansi, legacy;
    std::string_view text, expected;
  } cases[] = {
      {65001, 1251, "\xCF\xF0\xE8", "\xD0\x9F\xD1\x80\xD0\xB8"}, // 1251 bytes
      {65001, 1251, "\xD0\x9F\xD1\x80", "\xD0\x9F\xD1\x80"},     // UTF-8 stays
      {65001, 1252, "\xC3\xA9\n\xE9\n", "\xC3\xA9\n\xC3\xA9\n"}, // line by line
      {1252, 1252, "Caf\xE9", "Caf\xE9"},                        // as it always was
      {1252, 1252, "Caf\xC3\xA9", "Caf\xE9"},                    // UTF-8 read as such
      {1252, 1252, "\xE6\x97\xA5", "?"},
      {1251, 1251, "\xD0\x9F\xD1\x80", "\xCF\xF0"},
      {1251, 1252, "Caf\xE9", "Caf?"}, // the legacy code page's letter that 1251 lacks
      {65001, 1252, "plain", "plain"},
  };
  for (const auto& c : cases) {
    test::TScopedCodePages pages(c.ansi, c.legacy);
    EXPECT_EQ(UndeclaredToAnsi(c.text), c.expected) << c.text << " in " << c.ansi;
  }
}

TEST(CodePage, CharactersOfAnsiText) {
  const std::string_view text = "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80\xFFz";
  {
    test::TScopedCodePages pages(65001, 0);
    EXPECT_EQ(AnsiLength(text), 6u); // a, é, 日, 😀, a stray byte, z
    EXPECT_EQ(AnsiPrefixSize(text, 2), 3u);
    EXPECT_EQ(AnsiPrefixSize(text, 4), 10u);
    EXPECT_EQ(AnsiPrefixSize(text, 99), text.size());
  }
  EXPECT_EQ(AnsiLength(text), text.size());
  EXPECT_EQ(AnsiPrefixSize(text, 2), 2u);
}
