#include "platform/charset.h"

#include "platform/codepage.h"
#include "platform/unicode.h"
#include "support/charset_samples.h"
#include "support/scoped_env.h"

#include <gtest/gtest.h>

namespace pellora {
namespace {

using namespace std::string_view_literals;

TEST(Charset, EveryCharsetOfMailToEveryCodePage) {
  for (int codePage : {CodePageUtf8, 1252, 1251}) {
    test::TScopedCodePages pages(codePage, 1252);
    for (const auto& s : test::CharsetSamples)
      EXPECT_EQ(CharsetToAnsi(s.bytes, s.charset), Utf8ToAnsi(s.utf8, codePage))
          << s.charset << " in " << codePage;
  }
  // A character the code page lacks becomes "?"; one it has keeps its byte.
  struct {
    int codePage;
    std::string_view charset, bytes, ansi;
  } cases[] = {
      {1252, "iso-8859-1", "Caf\xE9", "Caf\xE9"},
      {1252, "windows-1252", "\x81\x84", "\x81\x84"}, // the byte 1252 leaves undefined too
      {1252, "KOI8-R", "\xF0\xD2\xC9", "???"},
      {1252, "Shift_JIS", "\x93\xFA\x96{", "??"},
      {1251, "KOI8-R", "\xF0\xD2\xC9", "\xCF\xF0\xE8"},
      {1251, "iso-8859-1", "Caf\xE9", "Caf?"},
      {1251, "windows-1251", "\xCF\xF0\xE8", "\xCF\xF0\xE8"},
  };
  for (const auto& c : cases) {
    test::TScopedCodePages pages(c.codePage, c.codePage);
    EXPECT_EQ(CharsetToAnsi(c.bytes, c.charset), c.ansi) << c.charset << " in " << c.codePage;
  }
}

TEST(Charset, AliasesAndMislabels) {
  test::TScopedCodePages pages(CodePageUtf8, 1252);
  struct {
    std::string_view charset, bytes, utf8;
  } cases[] = {
      {"utf8", "Caf\xC3\xA9", "Caf\xC3\xA9"},
      {"x-sjis", "\x93\xFA\x96{", "\xE6\x97\xA5\xE6\x9C\xAC"},
      {"ks_c_5601-1987", "\xC7\xD1\xB1\xB9", "\xED\x95\x9C\xEA\xB5\xAD"},
      {"gb2312",
       "\xE9"
       "F",
       "\xE9\x95\x95"}, // a GBK letter that GB2312 lacks
      {"iso-8859-8-i", "\xF9\xEC\xE5\xED", "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D"},
      {"windows-874", "\xCA\xC7\xD1", "\xE0\xB8\xAA\xE0\xB8\xA7\xE0\xB8\xB1"},
      {"x-mac-roman", "Caf\x8E", "Caf\xC3\xA9"},
      {"x-mac-cyrillic", "\x8C\xE8\xF0", "\xD0\x9C\xD0\xB8\xD1\x80"},
      {"unicode-1-1-utf-7", "+Jjo-", "\xE2\x98\xBA"},
      {"iso-8859-1", "\x93x\x94", "\xE2\x80\x9Cx\xE2\x80\x9D"}, // written by 1252 systems
      {"Big5", "\x95\xA8", "\xF0\xA5\x9A\x83"},                 // Hong Kong additions
      {"EUC-JP", "\xAD\xA1", "\xE2\x91\xA0"},                   // Windows additions
      {" \"UTF-8\" ", "\xC3\xA9", "\xC3\xA9"},
      {"utf-8*en", "\xC3\xA9", "\xC3\xA9"}, // a language (RFC 2231)
      // UTF-16: by its byte-order mark, else by where the zero bytes stand.
      {"utf-16",
       "\xFE\xFF\x00"
       "A\x00\xE9"sv,
       "A\xC3\xA9"},
      {"utf-16", "A\x00\xE9\x00"sv, "A\xC3\xA9"},
      {"utf-16",
       "\x00"
       "A\x00\xE9"sv,
       "A\xC3\xA9"},
      // Labels that say nothing of the bytes: read as undeclared text.
      {"us-ascii", "Caf\xC3\xA9", "Caf\xC3\xA9"},
      {"us-ascii", "Caf\xE9", "Caf\xC3\xA9"},
      {"x-unknown", "Caf\xE9", "Caf\xC3\xA9"},
      {"", "Caf\xE9", "Caf\xC3\xA9"},
      // A byte that is no text of the charset.
      {"Shift_JIS",
       "a\xFF"
       "b",
       "a?b"},
      {"utf-8",
       "a\xFF"
       "b",
       "a?b"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CharsetToAnsi(c.bytes, c.charset), c.utf8) << c.charset;
  EXPECT_TRUE(IsKnownCharset("KS_C_5601-1987"));
  EXPECT_FALSE(IsKnownCharset("x-unknown"));
  EXPECT_FALSE(IsKnownCharset("../../etc/passwd"));
}

TEST(Charset, IncompleteCharacterLeftForTheNextPiece) {
  test::TScopedCodePages pages(CodePageUtf8, 1252);
  struct {
    std::string_view charset, bytes, converted, tail;
  } cases[] = {
      {"utf-8", "Caf\xC3", "Caf", "\xC3"},
      {"utf-8", "\xE2\x82", "", "\xE2\x82"},
      {"utf-8", "x\xE2\x82\xAC", "x\xE2\x82\xAC", ""},
      {"utf-8", "x\xC0", "x?", ""}, // no sequence begins with C0
      {"Shift_JIS", "a\x93", "a", "\x93"},
      {"GB18030", "\x81\x30", "", "\x81\x30"},
      {"iso-8859-5", "\xBF", "\xD0\x9F", ""},
  };
  for (const auto& c : cases) {
    std::string out, tail;
    AppendCharsetToAnsi(c.bytes, c.charset, out, &tail);
    EXPECT_EQ(out, c.converted) << c.charset;
    EXPECT_EQ(tail, c.tail) << c.charset;
  }
  std::string out;
  AppendCharsetToAnsi("Caf\xC3", "utf-8", out); // without a tail: the rest is a bad byte
  EXPECT_EQ(out, "Caf?");
}

TEST(Unicode, Utf16Conversions) {
  struct Case {
    std::string utf16;
    std::string utf8;
  } cases[] = {
      {std::string("A\0\xE9\0", 4), "A\xC3\xA9"},
      {std::string("\xAC\x20", 2), "\xE2\x82\xAC"},             // euro sign
      {std::string("\x3D\xD8\x00\xDE", 4), "\xF0\x9F\x98\x80"}, // surrogate pair
      {std::string("\x3D\xD8\x41\0", 4), "\xEF\xBF\xBD" "A"},     // unpaired surrogate
      {std::string("B\0C", 3), "B"},                            // odd last byte
  };
  for (const auto& c : cases)
    EXPECT_EQ(Utf16LeToUtf8(c.utf16), c.utf8) << c.utf8;
  EXPECT_EQ(Utf8ToUtf16Le("a\xC3\xA9\xF0\x9F\x98\x80"),
            std::string("a\0\xE9\0\x3D\xD8\x00\xDE", 8));
  EXPECT_EQ(Utf8ToUtf16Le("\xFF\x62"), std::string("\xFD\xFF" "b\0", 4)); // not UTF-8
}

} // namespace
} // namespace pellora
