#include "stores/header_scanner.h"

#include "mime/header_words.h"
#include "mime/mail_date.h"
#include "mime/mail_message.h"
#include "mime/transfer_encodings.h"
#include "platform/codepage.h"
#include "support/charset_samples.h"
#include "support/scoped_env.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace pellora {
namespace {

std::string Iso(TDateTime value) {
  return value == 0 ? "0" : FormatIsoDateTime(value);
}

TEMLHeader Scan(std::vector<std::string> lines) {
  TEMLHeader header;
  ScanHeader(lines, header);
  return header;
}

TEST(ScanDecodeWords, DecodesEncodedWords) {
  SetAnsiCodePage(1252);
  struct {
    const char* input;
    std::string expected;
  } cases[] = {
      // Read in its charset: 1252 lacks three of these letters.
      {"=?ISO-8859-2?Q?P=F8=EDli=B9_=BElu=BBou=E8k=FD?=", "P?\xEDli\x9A \x9Elu?ou?k\xFD"},
      {"=?UTF-8?B?SGVsbG8=?=", "Hello"},
      {"=?utf-8?q?Caf=C3=A9?=", "Caf\xE9"},
      // Hex digits of either case in every Q word.
      {"=?utf-8?q?Caf=c3=a9?=", "Caf\xE9"},
      {"=?utf-8?Q?N=c3=bcrnberger?=", "N\xFCrnberger"},
      // Blanks between two encoded words go (RFC 2047); next to plain text they stay.
      {"=?ISO-8859-1?Q?a?= =?ISO-8859-1?Q?b?=", "ab"},
      {"x =?ISO-8859-1?Q?a?= y", "x a y"},
      // A Q text that begins with "=" stays one word.
      {"=?ISO-8859-1?Q?=E9?=", "\xE9"},
      {"=?x?U?#0V%T?=", "Cat"},
      {"=?x?U?#0V%T\x7F?=", ""}, // not in the uuencoding alphabet
      {"=?x?B?QUIA?=", "AB"},    // a zero byte ends a B word
      {"=?x?B?QQ==?=", "A"},
      {"plain text", "plain text"},
      {"  lead and trail  ", "lead and trail"},
      {"=?broken", "=?broken"},
      // UTF-8: four-byte sequences are understood and a bad byte costs only itself.
      {"=?UTF-8?Q?=F0=9F=98=80?= ok", "? ok"},
      {"=?UTF-8?Q?caf=E9_=C3=A9?=", "caf? \xE9"},
      // Raw bytes beside a word are read on their own, in the legacy code page.
      {"caf\xE9 =?UTF-8?Q?=C3=A9?=", "caf\xE9 \xE9"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ScanDecodeWords(c.input), c.expected) << c.input;
}

// The list reads every charset as the message window does, in each code page.
TEST(ScanDecodeWords, EveryCharsetInEveryCodePage) {
  for (int codePage : {CodePageUtf8, 1252, 1251}) {
    test::TScopedCodePages pages(codePage, 1252);
    for (const auto& s : test::CharsetSamples) {
      if (s.charset == "UTF-16") continue; // a zero byte ends a B word
      std::string base64, flat;
      EncodeBase64Lines(s.bytes, base64);
      for (char c : base64)
        if (c != '\r' && c != '\n') flat += c;
      const std::string word = "=?" + std::string(s.charset) + "?B?" + flat + "?=";
      EXPECT_EQ(ScanDecodeWords(word), Utf8ToAnsi(s.utf8, codePage)) << word << " in " << codePage;
      EXPECT_EQ(ScanDecodeWords(word), DecodeHeaderWords(word)) << word;
    }
  }
  test::TScopedCodePages pages(1250, 1250);
  EXPECT_EQ(ScanDecodeWords("=?ISO-8859-2?Q?P=F8=EDli=B9_=BElu=BBou=E8k=FD?="),
            "P\xF8\xEDli\x9A \x9Elu\x9Dou\xE8k\xFD");
}

TEST(ScanHeader, FieldsAndTheirTreatment) {
  SetAnsiCodePage(1252);
  TEMLHeader h = Scan(
      {"From: =?ISO-8859-1?Q?J=E9r=F4me?= <j@x.org>", "Sender: s@x.org",
       "To: Ann <a@x.org>; Bob <b@x.org>", "Cc: c@x.org", "Reply-To: r@x.org; extra",
       "Return-Path: <rp@x.org>", "Message-ID: <1@x.org>", "Subject: Re: a; b", "X-Priority: 1",
       "Content-Type: text/html; charset=utf-8", "Content-Transfer-Encoding: quoted-printable",
       "X-Quorin-DocumentID: doc", "X-Quorin-RevisionID: rev", "", "body"});
  EXPECT_EQ(h.From, "J\xE9r\xF4me <j@x.org>");
  EXPECT_EQ(h.Sender, "s@x.org");
  EXPECT_EQ(h.To, "Ann <a@x.org>; Bob <b@x.org>"); // an address list is not cut at ";"
  EXPECT_EQ(h.Cc, "c@x.org");
  EXPECT_EQ(h.ReplyTo, "r@x.org"); // other structured fields stop at ";"
  EXPECT_EQ(h.ReturnPath, "<rp@x.org>");
  EXPECT_EQ(h.MessageID, "<1@x.org>");
  EXPECT_EQ(h.Subject, "Re: a; b"); // a subject keeps its ";"
  EXPECT_EQ(h.Priority, 1);
  EXPECT_EQ(h.ContentType, "TEXT/HTML");
  EXPECT_EQ(h.ContentTransferEncoding, "QUOTED-PRINTABLE");
  EXPECT_EQ(h.DocumentID, "DOC"); // the document id wins over the revision id
  EXPECT_EQ(h.Size, 0);
}

// Address fields show as written, with encoded words decoded where RFC 2047 allows them: in
// display names and comments, not in addresses.
TEST(ScanHeader, AddressFields) {
  SetAnsiCodePage(1252);
  struct {
    const char* line;
    std::string from;
  } cases[] = {
      {"From: \"Ann (lists; read only)\" <ann@example.com>",
       "\"Ann (lists; read only)\" <ann@example.com>"},
      {"From: ann@example.com (Ann; lists)", "ann@example.com (Ann; lists)"},
      {"From: =?utf-8?Q?caf=C3=A9?=@example.com", "=?utf-8?Q?caf=C3=A9?=@example.com"},
      {"From: =?utf-8?Q?Caf=C3=A9?= <=?utf-8?Q?a?=@example.com>",
       "Caf\xE9 <=?utf-8?Q?a?=@example.com>"},
      {"From: =?utf-8?q?Ann_=28ACME=29_via_List?= <list@example.com>",
       "Ann (ACME) via List <list@example.com>"},
      {"From: undisclosed-recipients:;", "undisclosed-recipients:;"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Scan({c.line}).From, c.from) << c.line;
}

TEST(ScanHeader, LineRules) {
  struct {
    std::vector<std::string> lines;
    std::string subject;
    std::string to;
  } cases[] = {
      // Unfolding keeps one blank where the line was broken.
      {{"Subject: Hello", "  World"}, "Hello World", ""},
      {{"Subject: Hello ", "\t World "}, "Hello World", ""},
      // Fields are looked for in the header only: the first empty line ends it.
      {{"Subject: Hello", "", "\tWorld", "X: y", " z"}, "Hello", ""},
      {{"From: a", "", "body", "Subject: forwarded"}, "", ""},
      {{"Cc: c@x", "", "<a href=\"mailto:x@y\">", "to:x@y\">x</a>"}, "", ""},
      {{"", "Subject: after leading empty lines"}, "after leading empty lines", ""},
      {{"From - Mon Jan 01 10:00:00 2010", "", "Subject: in the body"}, "", ""},
      {{"Subject: first", "Subject: second"}, "first", ""},
      {{"Tone: x", "TO: real"}, "", "real"},
      {{"sUbJeCt: mixed"}, "mixed", ""},
  };
  for (const auto& c : cases) {
    TEMLHeader h = Scan(c.lines);
    EXPECT_EQ(h.Subject, c.subject) << c.lines[0];
    EXPECT_EQ(h.To, c.to) << c.lines[0];
  }
  // The mailbox separator is no "From:" field.
  EXPECT_EQ(Scan({"From - Mon Jan 01 10:00:00 2010", "From: real"}).From, "real");
}

TEST(ScanHeader, ResetsAndDefaults) {
  TEMLHeader h;
  std::vector<std::string> lines = {"Date: Tue, 12 Jan 2010 10:00:00 +0100", "Subject: old"};
  ScanHeader(lines, h);
  ASSERT_NE(h.Date, 0);
  lines = {"Subject: new", "", "   ", "body"};
  ScanHeader(lines, h);
  EXPECT_EQ(h.Date, 0);
  EXPECT_EQ(h.DateText, "");
  EXPECT_EQ(h.ContentType, "TEXT/PLAIN");
  EXPECT_EQ(h.ContentTransferEncoding, "7BIT");
  // Empty lines are deleted from the caller's list; a line of blanks stays.
  EXPECT_EQ(lines, (std::vector<std::string>{"Subject: new", "   ", "body"}));

  lines = {"", ""};
  ScanHeader(lines, h);
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(h.Subject, "");
  EXPECT_EQ(h.ContentType, ""); // defaults only when a line remains

  EXPECT_EQ(Scan({"X-Priority: 1 (Highest)"}).Priority, 0);
  EXPECT_EQ(Scan({"X-Priority: 5"}).Priority, 5);
}

TEST(ScanHeader, StreamingScannerMatchesLineList) {
  std::vector<std::string> lines = {"Received: x", "From: a", " folded", "",
                                    "Subject: s",  "To: t",   "body",    "Subject: later"};
  TEMLHeader fromList = Scan(lines), streamed;
  THeaderScanner scanner;
  scanner.Reset();
  for (const auto& l : lines)
    scanner.Feed(l);
  scanner.Finish(streamed);
  EXPECT_EQ(streamed.From, "a folded");
  EXPECT_EQ(streamed.From, fromList.From);
  EXPECT_EQ(streamed.Subject, fromList.Subject);
  EXPECT_EQ(streamed.To, fromList.To);
}

// The conversation's links are kept as bare ids: what stands between them (comments, phrases,
// folding) is not part of any id.
TEST(ScanHeader, ThreadLinks) {
  TEMLHeader h = Scan({"Message-ID: <m@x>", "In-Reply-To: Ann's message of Monday <p@x> <q@x>",
                       "References: <r@x> (first)", "\t<s@x>", " <p@x>", "", "References: <no@x>"});
  EXPECT_EQ(h.References, "<r@x><s@x><p@x>");
  EXPECT_EQ(h.InReplyTo, ""); // References holds it
  EXPECT_EQ(Scan({"In-Reply-To: Ann's message of Monday <p@x> <q@x>", "References: <r@x>", ""}).InReplyTo,
            "<p@x>");
  EXPECT_EQ(Scan({"In-Reply-To: no id here", "References: <broken", ""}).InReplyTo, "");
  EXPECT_EQ(Scan({"References: <broken <ok@x>", ""}).References, "<ok@x>");

  EXPECT_EQ(MessageIdOf(" <a@x> (comment)"), "<a@x>");
  EXPECT_EQ(MessageIdOf("bare@x"), "bare@x");

  // An overlong References keeps its first id and the last ones that fit.
  std::string many = "References:";
  for (int i = 0; i < 200; ++i)
    many += " <" + std::to_string(i) + "-padding-padding@example.org>";
  const std::string kept = Scan({many, ""}).References.str();
  EXPECT_LE(kept.size(), MaxReferencesBytes);
  EXPECT_TRUE(kept.starts_with("<0-padding"));
  EXPECT_TRUE(kept.ends_with("<199-padding-padding@example.org>"));
  EXPECT_EQ(kept.find("<1-padding"), std::string::npos);
}

TEST(ScanMailDate, ParsesToLocalTime) {
  // ctest runs in Europe/Prague: UTC+1 in winter, UTC+2 in summer.
  struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"Tue, 12 Jan 2010 10:00:00 +0100 (CET)", "2010-01-12T10:00:00"},
      {"12 Jan 10 10:00 GMT", "2010-01-12T11:00:00"},
      {"12/01/99 08:30:00", "1999-01-12T09:30:00"},
      {"12 Jan 2010 10:00:00 -0130", "2010-01-12T12:30:00"},
      {"12 Jan 2010 25:00:00 +0000", "2010-01-13T02:00:00"},
      // A run of blanks is one separator, as mailers align a one-digit day.
      {"Fri,  3 May 2019 10:00:00 +0000", "2019-05-03T12:00:00"},
      {"Fri, 3  May  2019  10:00 +0000", "2019-05-03T12:00:00"},
      // The rules in force on the date itself: a July date is summer time whenever it is read.
      {"Mon, 12 Jul 2010 10:00:00 +0000", "2010-07-12T12:00:00"},
      // Month names without regard to case; full names.
      {"12 jan 2010 10:00:00 +0000", "2010-01-12T11:00:00"},
      {"12 JANUARY 2010 10:00:00 +0000", "2010-01-12T11:00:00"},
      // Zone names of RFC 822.
      {"12 Jan 2010 10:00:00 EST", "2010-01-12T16:00:00"},
      {"12 Jan 2010 10:00:00 PDT", "2010-01-12T18:00:00"},
      {"12 Jan 2010 10:00:00 UT", "2010-01-12T11:00:00"},
      {"12 Jan 2010 10:00:00 CET", "2010-01-12T11:00:00"}, // other names count as UTC
      // No date.
      {"Tue, 12 Foo 2010 10:00:00 +0000", "0"}, // an unknown month name
      {"today", "0"},
      {"31 Feb 2010", "0"},
      {"12 Jan 2010 10:00 +2500", "0"},
      {"", "0"},
      {"12 0 2010", "0"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Iso(ScanMailDate(c.text)), c.expected) << c.text;
}

TEST(ScanMailDate, FollowsTheMachineZone) {
  test::TScopedTimeZone utc("UTC");
  EXPECT_EQ(Iso(ScanMailDate("Tue, 12 Jan 2010 10:00:00 +0100 (CET)")), "2010-01-12T09:00:00");
}

// The list's quick scanner and the message model decode the same header texts by rules of their
// own; this table shows where the two agree and where they differ on purpose.
TEST(ScannerAgainstMessageModel, SameInputsBothDecoders) {
  SetAnsiCodePage(1252);
  struct {
    const char* input;
    std::string scanner;
    std::string model;
  } words[] = {
      {"plain text", "plain text", "plain text"},
      {"=?iso-8859-1?Q?Caf=E9?=", "Caf\xE9", "Caf\xE9"},
      {"=?UTF-8?B?Q2Fmw6k=?=", "Caf\xE9", "Caf\xE9"},
      {"=?a?Q?x?= =?a?Q?y?=", "xy", "xy"},
      {"=?x?B?QUIA?=", "AB", "AB"},
      {"=?iso-8859-1?q?Caf=e9?=", "Caf\xE9", "Caf\xE9"},
      {"=?ISO-8859-2?Q?=B9koda?=", "\x9Akoda", "\x9Akoda"},
      // Where Latin-1/2 words stand, the scanner reads a malformed escape as "@"; elsewhere an
      // "=" that begins no escape stands for itself in both.
      {"=?iso-8859-1?Q?a=ZZb?=", "a@b", "a=ZZb"},
      {"=?utf-8?Q?a=ZZb?=", "a=ZZb", "a=ZZb"},
      // A byte outside the base64 alphabet counts as "A" in the scanner; in the model its slot
      // keeps the value it had.
      {"=?x?B?QUJDQU*J?=", "ABCA@\t", "ABCABI"},
  };
  for (const auto& c : words) {
    EXPECT_EQ(ScanDecodeWords(c.input), c.scanner) << c.input;
    EXPECT_EQ(DecodeHeaderWords(c.input), c.model) << c.input;
  }
  struct {
    const char* input;
    std::string scanner;
    std::string model;
  } dates[] = {
      {"Tue, 12 Jan 2010 10:00:00 +0000", "2010-01-12T11:00:00", "2010-01-12T11:00:00"},
      {"12 Jan 2010 10:00:00 EST", "2010-01-12T16:00:00", "2010-01-12T16:00:00"},
      // Full month names are the scanner's; the model knows the three-letter ones only.
      {"12 June 2010 10:00:00 +0000", "2010-06-12T12:00:00", "0"},
      {"12 Sept 2010 10:00:00 +0000", "2010-09-12T12:00:00", "0"},
      {"Fri,  3 May 2019 10:00:00 +0000", "2019-05-03T12:00:00", "2019-05-03T12:00:00"},
      // No blank after the weekday's comma (RFC 5322 needs none), in both.
      {"Thu,29 Apr 2012 10:00:00 +0000", "2012-04-29T12:00:00", "2012-04-29T12:00:00"},
      {"Thu ,29 Apr 2012 10:00 +0000", "2012-04-29T12:00:00", "2012-04-29T12:00:00"},
  };
  for (const auto& c : dates) {
    EXPECT_EQ(Iso(ScanMailDate(c.input)), c.scanner) << c.input;
    EXPECT_EQ(Iso(ParseMailDate(c.input)), c.model) << c.input;
  }
}

// A row shows the subject the message window shows for the same message, folded or not.
TEST(ScannerAgainstMessageModel, SubjectsAgree) {
  SetAnsiCodePage(1252);
  const std::vector<std::string> headers[] = {
      {"Subject: plain"},
      {"Subject: ...to any extent to", " prevent it"},
      {"Subject: tab", "\tfolded ", "  twice"},
      // A long encoded subject split inside a word, as a list archive holds it.
      {"Subject: Re: [USRP-users] ", " =?utf-8?q?Need_a_little_help_with_running_legacy_pr?=",
       " =?utf-8?q?ebuilt_UHD_versions?="},
      {"Subject: =?gb2312?b?u9i4tA==?=", " =?gb2312?b?u9i4tA==?= tail"},
      {"Subject: =?iso-8859-1?q?N=FCrnberger?= Stra=DFe"},
  };
  for (const auto& lines : headers) {
    std::string text;
    for (const auto& line : lines)
      text += line + "\r\n";
    TMailMessage message;
    message.ReadFromText(text + "\r\nbody\r\n");
    EXPECT_EQ(Scan(lines).Subject, message.SubjectText()) << text;
  }
  EXPECT_EQ(Scan(headers[3]).Subject,
            "Re: [USRP-users] Need a little help with running legacy prebuilt UHD versions");
}

} // namespace
} // namespace pellora
