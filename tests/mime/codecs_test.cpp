#include "mime/header_fields.h"
#include "mime/header_words.h"
#include "mime/mail_date.h"
#include "mime/mail_text.h"
#include "mime/transfer_encodings.h"

#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/pellora_error.h"

#include "support/scoped_env.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using namespace pellora;

namespace {

TDateTime Local(int y, int m, int d, int h, int n, int s) {
  TDateTime date = 0, time = 0;
  EXPECT_TRUE(TryEncodeDate(y, m, d, date));
  EXPECT_TRUE(TryEncodeTime(h, n, s, 0, time));
  return ComposeDateTime(date, time);
}

std::string B64(std::string_view text) {
  std::string out;
  DecodeBase64Chunk(text, out);
  return out;
}

std::string UU(std::string_view line) {
  std::string out;
  UUDecodeOneLine(line, out);
  return out;
}

} // namespace

TEST(Codecs, TrimAndPad) {
  EXPECT_EQ(TrimBlanks("\t a b \t"), "a b \t"); // a trailing tab stays
  EXPECT_EQ(TrimBlanks(" \t  "), "");
  EXPECT_EQ(TrimBlanksRight("a \t "), "a");
  EXPECT_EQ(PadLeftTo("  7", 3, "0"), "007");
  EXPECT_EQ(PadLeftTo("12345", 3, "0"), "345");
}

TEST(Codecs, ReadTextLineAndBufferWalk) {
  std::string_view text = "ab\r\nc\rd\r\nlast";
  std::ptrdiff_t pos = 1;
  EXPECT_EQ(ReadTextLine(text, pos), "ab\r\n");
  EXPECT_EQ(ReadTextLine(text, pos), "c\rd\r\n"); // a lone CR does not end a line
  EXPECT_EQ(ReadTextLine(text, pos), "last");
  EXPECT_EQ(pos, -1);

  TBufferLineWalker walker("a\r\n\r\nb\nc");
  std::string_view line;
  size_t offset;
  std::vector<std::pair<std::string, size_t>> seen;
  while (walker.NextBufferLine(line, offset))
    seen.emplace_back(line, offset);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], (std::pair<std::string, size_t>{"a", 0}));
  EXPECT_EQ(seen[1], (std::pair<std::string, size_t>{"", 3}));
  EXPECT_EQ(seen[2], (std::pair<std::string, size_t>{"b\nc", 5}));
}

TEST(Codecs, FindHeaderLineCountsOccurrences) {
  std::vector<std::string> lines = {"Received: a", "Received-SPF: x", "RECEIVED: b"};
  EXPECT_EQ(FindHeaderLine(lines, "received:", 0), 0);
  EXPECT_EQ(FindHeaderLine(lines, "Received:", 1), 2);
  EXPECT_EQ(FindHeaderLine(lines, "Received:", 2), -1);
}

TEST(Codecs, QuotedPrintableDecoding) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"a=3Db=\r\nc", "a=bc"},
      // Hex digits of either case: mailers write lower case too.
      {"a=3db", "a=b"},
      {"N=c3=bcrnberger", "N\xC3\xBCrnberger"},
      {"=e9t=E9", "\xE9t\xE9"},
      // An "=" that begins no escape stands for itself (RFC 2045 section 6.7, note 1).
      {"=gg=3g", "=gg=3g"},
      {"charset=\"us-ascii\"", "charset=\"us-ascii\""},
      {"x=4", "x=4"},
      {"==41", "=A"},
      // A soft line break, blanks before its line end included, and an "=" that ends the text.
      {"abc=", "abc"},
      {"a=  \r\nb=\nc", "abc"},
      {"=\r", ""},
      {"=E9t=E9", "\xE9t\xE9"},
      {"trail  \r\nx", "trail  \r\nx"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(QPDecodeText(c.in), c.out) << c.in;
}

TEST(Codecs, QuotedPrintableEncoding) {
  std::string hundred(100, 'a');
  EXPECT_EQ(QPEncodeText(hundred, false),
            std::string(71, 'a') + "=\r\n" + std::string(29, 'a') + "\r\n");
  EXPECT_EQ(QPEncodeText("abc \r\n", false), "abc=20\r\n");
  EXPECT_EQ(QPEncodeText("a\t \r\nb", false), "a=09=20\r\nb\r\n");
  EXPECT_EQ(QPEncodeText("x=\xE9\r", false), "x=3D=E9=0D\r\n");
  EXPECT_EQ(QPEncodeText("\nx", false), "=0Ax\r\n");
  EXPECT_EQ(QPEncodeText("", false), "");
  // An escape is never split: 70 letters then "=E9" must break before the escape.
  std::string line = std::string(70, 'a') + "\xE9" + "bb";
  std::string encoded = QPEncodeText(line, false);
  EXPECT_EQ(encoded, std::string(70, 'a') + "=\r\n=E9bb\r\n");
  EXPECT_EQ(QPDecodeText(encoded), line + "\r\n");
  // Header-word mode encodes blanks and the special characters, and never splits.
  EXPECT_EQ(QPEncodeText("a b_c?\t", true), "a=20b=5Fc=3F=09");
  EXPECT_EQ(QPEncodeText(hundred, true), hundred);
}

TEST(Codecs, EncodeHeaderWordQ) {
  EXPECT_EQ(EncodeHeaderWordQ("Report.pdf", "iso-8859-1"), "Report.pdf");
  EXPECT_EQ(EncodeHeaderWordQ("my file.txt", "iso-8859-1"), "=?iso-8859-1?Q?my=20file.txt?=");
}

TEST(Codecs, Base64Chunks) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"TWE=", "Ma"},      {"TQ==", "M"}, {"TWFu", "Man"},   {"TWFuTQ==", "ManM"},
      {"TWF", ""},         {"", ""},      {"TWFuTW", "Man"}, // trailing partial group ignored
      {"TQ==TWE=", "MMa"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(B64(c.in), c.out) << c.in;
  // A character outside the alphabet takes a slot and keeps its previous value.
  EXPECT_EQ(B64("TWFu.WFu"), "ManMan");
}

TEST(Codecs, Base64DecoderContinuesGroupsAcrossFeeds) {
  std::string data;
  for (int i = 0; i < 300; ++i)
    data += static_cast<char>(i * 7);
  std::string encoded;
  EncodeBase64Lines(data, encoded);
  std::string flat;
  for (char c : encoded)
    if (c != '\r' && c != '\n') flat += c;
  for (size_t width : {72u, 75u, 76u, 1u, 5u}) {
    TBase64Decoder decoder;
    std::string out;
    for (size_t i = 0; i < flat.size(); i += width)
      decoder.Feed(flat.substr(i, width), out);
    EXPECT_EQ(out, data) << width;
  }
}

TEST(Codecs, EncodeBase64Lines) {
  std::string target = "old";
  EncodeBase64Lines("", target);
  EXPECT_EQ(target, "");
  EncodeBase64Lines("Ma", target);
  EXPECT_EQ(target, "TWE=\r\n");
  EncodeBase64Lines(std::string(57, 'x'), target); // exactly one full line
  EXPECT_EQ(target.size(), 78u);
  EncodeBase64Lines(std::string(58, 'x'), target);
  EXPECT_EQ(target.substr(76), "\r\neA==\r\n");
}

TEST(Codecs, Uuencode) {
  EXPECT_EQ(UU("#0V%T"), "Cat");
  EXPECT_EQ(UU("begin 644 cat.txt"), "");
  EXPECT_EQ(UU("end"), "");
  EXPECT_EQ(UU("`"), "");
  EXPECT_EQ(UU(""), "");
  EXPECT_EQ(UU("#0V%t"), "");                   // a lower-case letter is outside the alphabet
  EXPECT_EQ(UU("#0V"), std::string("C`\0", 3)); // missing characters count as zero bits
  EXPECT_EQ(UUCharValue('`'), 0);
  EXPECT_EQ(UUCharValue(' '), 0);
  EXPECT_EQ(UUCharValue('_'), 63);
  EXPECT_THROW(UUCharValue('a'), EPelloraError);

  std::string target = "old";
  UUDecodeBlock("begin 644 cat.txt\r\n#0V%T\r\n#0V%T\r\n`\r\nend\r\n", target);
  EXPECT_EQ(target, "CatCat");
}

TEST(Codecs, DecodeHeaderWords) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"=?iso-8859-1?Q?Caf=E9_au_lait?=", "Caf\xE9 au lait"},
      {"=?UTF-8?B?Q2Fmw6k=?=", "Caf\xE9"},
      // Blanks between two encoded words are dropped (RFC 2047), so a word that a mailer
      // split over two encoded words reads whole; blanks next to plain text remain.
      {"=?x?Q?a?= =?x?Q?b?=", "ab"},
      {"=?utf-8?q?legacy_pr?=\t =?utf-8?q?ebuilt?=", "legacy prebuilt"},
      {"=?x?Q?a?= b =?x?Q?c?=", "a b c"},
      {"a =?x?Q?b?= c", "a b c"},
      {"=?x?Q?a?= =?broken", "a =?broken"},
      {"=?iso-8859-1?Q?N=fcrnberger?=", "N\xFCrnberger"}, // lower-case hex
      {"  plain text  ", "plain text"},
      {"=?x?Q?a", "=?x?Q?a"}, // incomplete word left alone
      {"=?x?B?TWFu?=!", "Man!"},
      {"=?x?U?#0V%T?=", "Cat"},
      {"=?x?Q?=3D?=", "="}, // a text that starts with "=" does not end early
      {"=?x?Q?=00x?=", ""}, // decoded bytes end at a zero byte
      {"=?x?z?ab?=", "ab"}, // unknown letter: Q, and two characters go
      {"pre =?x?Q?=3D?=?x?Q?ok?= post", "pre ok post"}, // the new value is searched again
      {"=?x?Q?=3D?==?x?Q?=3F?=", "=?"},
      {"=?x?Q?=3D=3F?=x?q?y?=", "y"}, // decoded text forms a new word
  };
  for (const auto& c : cases)
    EXPECT_EQ(DecodeHeaderWords(c.in), c.out) << c.in;
}

TEST(Codecs, DecodeHeaderWordsConvertsUtf8Leniently) {
  // Raw bytes beside a UTF-8 word are read on their own (in the legacy code page, 1252 here).
  EXPECT_EQ(DecodeHeaderWords("=?utf-8?Q?Caf=C3=A9?= \xE9t\xE9"), "Caf\xE9 \xE9t\xE9");
  // A stray byte in the word costs one "?", not the whole value.
  EXPECT_EQ(DecodeHeaderWords("=?utf-8?Q?Caf=C3=A9_=E9t=E9?="), "Caf\xE9 ?t?");
  EXPECT_EQ(DecodeHeaderWords("=?UTF-8?Q?=F0=9F=98=80_x?="), "? x"); // four bytes, one char
  EXPECT_EQ(DecodeHeaderWords("=?UTF-8?Q?=C5=99?="), "?");           // not in the code page
  EXPECT_EQ(DecodeHeaderWords("=?iso-8859-1?Q?=E9?="), "\xE9");      // others pass unchanged
}

TEST(Codecs, NormalizeHeaderLine) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"MIME-VERSION:   1.0", "Mime-Version: 1.0"},
      {"message-id:<id-1>", "Message-ID: <id-1>"},
      {"content-id: <x>", "Content-ID: <x>"},
      {"content-type:text/plain", "Content-Type: text/plain"},
      {"X-IDENTITY: a", "X-Identity: a"},
      {"Subject: a \t  b\t c", "Subject: a b c"},
      {"Subject: a\tb", "Subject: a\tb"},
      {"Subject: \"a   b\"  c", "Subject: \"a   b\" c"},
      {"Subject: a\t\"b  c\"\td ", "Subject: a\t\"b  c\"\td"},
      {"Subject: x \"open  end", "Subject: x \"open  end"}, // a quote never closed
      {"Subject:  \t", "Subject: "},
      {"To: a@b.c,d@e.f;x=\"y\"z", "To: a@b.c,d@e.f;x=\"y\"z"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NormalizeHeaderLine(c.in), c.out) << c.in;
}

TEST(Codecs, FieldValueAndParameters) {
  const std::string ct = "Content-Type: multipart/mixed; BOUNDARY=\"a;b=c\"; charset=utf-8";
  EXPECT_EQ(FieldValueOf(ct), "multipart/mixed");
  EXPECT_EQ(FieldParamOf(ct, "boundary"), "a;b=c");
  EXPECT_EQ(FieldParamOf(ct, " Charset "), "utf-8");
  EXPECT_EQ(FieldParamOf(ct, "name"), "");
  EXPECT_EQ(FieldParamOf("Content-Type: a; x=1=2", "x"), "1"); // unquoted value ends at "="
  EXPECT_EQ(FieldParamOf("Content-Type: a; x=1; x=2", "x"), "12");
  EXPECT_EQ(FieldValueOf("Subject: \"quoted\"; rest"), "quoted");
  EXPECT_EQ(FieldValueOf("To: \"a;b\" <x@y>; c"), "\"a;b\" <x@y>");
  EXPECT_EQ(FieldValueOf("no colon"), "");

  EXPECT_EQ(WithFieldValue("Content-Type: text/plain; charset=x", " text/html "),
            "Content-Type: text/html; charset=x");
  EXPECT_EQ(WithFieldValue("no colon", "v"), "no colon");
  EXPECT_EQ(WithFieldParam("Content-Type: text/plain; charset=x; a=b", "CHARSET", "y"),
            "Content-Type: text/plain; charset=y; a=b");
  EXPECT_EQ(WithFieldParam("Content-Type: text/plain; charset=x", "charset", "y"),
            "Content-Type: text/plain; charset=y");
  EXPECT_EQ(WithFieldParam("Content-Type: text/plain", "name", "\"a b\""),
            "Content-Type: text/plain; name=\"a b\"");
}

TEST(Codecs, ParseMailDate) {
  test::TScopedTimeZone zone("Europe/Prague");
  struct Case {
    const char* text;
    TDateTime expected;
  } cases[] = {
      // +0200 is 06:12:31 UTC; November in Prague is UTC+1.
      {"Tue, 15 Nov 1994 08:12:31 +0200", Local(1994, 11, 15, 7, 12, 31)},
      {"15 Nov 94 08:12 GMT", Local(1994, 11, 15, 9, 12, 0)},
      {"Sun, 06 Nov 1994 08:49:37 GMT", Local(1994, 11, 6, 9, 49, 37)},
      {"6 Nov 94 08:49 +0100", Local(1994, 11, 6, 8, 49, 0)},
      {"06/11/1994", Local(1994, 11, 6, 1, 0, 0)},
      {"Fri,  1 Mar 2002 10:00:00 +0000", Local(2002, 3, 1, 11, 0, 0)},
      {"1 nov 2001 10:00:00 -0130", Local(2001, 11, 1, 12, 30, 0)}, // month without case
      {"1 Jan 2001 00:00:00 UT", Local(2001, 1, 1, 1, 0, 0)},
      {"1 Jan 2001 00:00:00 Z", Local(2001, 1, 1, 1, 0, 0)},
      {"1 Jan 2001 00:00:00 EST", Local(2001, 1, 1, 6, 0, 0)},
      {"1 Jan 2001 00:00:00 EDT", Local(2001, 1, 1, 5, 0, 0)},
      {"1 Jan 2001 00:00:00 CST", Local(2001, 1, 1, 7, 0, 0)},
      {"1 Jan 2001 00:00:00 PDT", Local(2001, 1, 1, 8, 0, 0)},
      {"1 Jan 2001 00:00:00 CEST", Local(2001, 1, 1, 1, 0, 0)}, // other names count as UTC
      {"Tue, 15 Nov 1994 08:12:31 +0200 (CEST)", Local(1994, 11, 15, 7, 12, 31)},
      // a July date read in any season is in summer time
      {"Mon, 1 Jul 2024 12:00:00 +0000", Local(2024, 7, 1, 14, 0, 0)},
      {"1 Jan 2001 00:00:00 +2400", 0},
      {"1 Jan 2001 00:00:00 +0060", 0},
      {"Hello world", 0},
      {"2008", 0},
      {"32 Jan 2008", 0},
      {"31 Apr 2008", 0},
      {"1 Foo 2008", 0}, // not a month name: no date rather than January
      {"", 0},
      {"   ", 0},
  };
  for (const auto& c : cases)
    EXPECT_DOUBLE_EQ(ParseMailDate(c.text), c.expected) << c.text;
}

TEST(Codecs, ParseMailDateUsesTheRulesOfTheDate) {
  test::TScopedTimeZone zone("America/New_York");
  EXPECT_DOUBLE_EQ(ParseMailDate("1 Jul 2024 12:00:00 +0000"), Local(2024, 7, 1, 8, 0, 0));
  EXPECT_DOUBLE_EQ(ParseMailDate("1 Jan 2024 12:00:00 +0000"), Local(2024, 1, 1, 7, 0, 0));
}

TEST(Codecs, BoundaryAndFileNames) {
  std::string b = NewBoundary();
  ASSERT_EQ(b.size(), 16u);
  EXPECT_EQ(b.substr(0, 8), "boundary");
  EXPECT_EQ(b.substr(8).find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_EQ(CleanFileName("a:b/c?.txt"), "a_b_c_.txt");
  EXPECT_EQ(CleanFileName(" \t<x>|\"'*\\\x01.y "), "_x_______.y");
  EXPECT_EQ(CleanFileName(std::string(300, 'n')).size(), 254u);
}
