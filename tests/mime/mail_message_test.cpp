#include "mime/mail_message.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using namespace pellora;

namespace {

std::string Crlf(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

TDateTime Local(int y, int m, int d, int h, int n, int s) {
  TDateTime date = 0, time = 0;
  EXPECT_TRUE(TryEncodeDate(y, m, d, date));
  EXPECT_TRUE(TryEncodeTime(h, n, s, 0, time));
  return ComposeDateTime(date, time);
}

void Parse(TMailMessage& m, std::string_view text) {
  m.ReadFromText(Crlf(text));
  m.FindBodies();
}

struct Recipient {
  std::string name, address;
  bool operator==(const Recipient&) const = default;
};

std::vector<Recipient> List(const TMailRecipients& list) {
  std::vector<Recipient> r;
  for (int i = 0; i < list.Count(); ++i)
    r.push_back({list.Name(i), list.Address(i)});
  return r;
}

std::ostream& operator<<(std::ostream& out, const Recipient& r) {
  return out << "{" << r.name << "|" << r.address << "}";
}

} // namespace

TEST(MailMessage, AddressFields) {
  struct Case {
    const char* value;
    const char* name;
    const char* address;
  } cases[] = {
      {"\"Doe, John\" <john@example.com>", "Doe, John", "john@example.com"},
      {"John Doe <john@example.com>", "John Doe", "john@example.com"},
      {"john@example.com (John Doe)", "John Doe", "john@example.com"},
      {"john@example.com", "", "john@example.com"},
      {"=?iso-8859-1?Q?J=F6rg?= <j@example.com>", "J\xF6rg", "j@example.com"},
      {"<only@example.com>", "", "only@example.com"},
      {"", "", ""},
      // A ";" in a quoted name or a comment is no separator.
      {"\"Ann (lists; read only)\" <ann@example.com>", "Ann (lists; read only)", "ann@example.com"},
      {"ann@example.com (Ann; lists)", "Ann; lists", "ann@example.com"},
      // Encoded words are no part of an address (RFC 2047 section 5): shown as written.
      {"=?utf-8?Q?caf=C3=A9?=@example.com", "", "=?utf-8?Q?caf=C3=A9?=@example.com"},
      {"Ann <=?utf-8?Q?a?=@example.com>", "Ann", "=?utf-8?Q?a?=@example.com"},
      // The address is parsed first and the name's words decoded after: their parentheses are
      // the name's.
      {"=?utf-8?q?Ann_=28ACME=29_via_List?= <list@example.com>", "Ann (ACME) via List",
       "list@example.com"},
      // A quoted local part is the address's.
      {"<\"System Administrator\"@example.com>", "", "\"System Administrator\"@example.com"},
      {"Admin <\"sys admin\"@example.com>", "Admin", "\"sys admin\"@example.com"},
      {"\"Ann \\\"A.\\\" Smith\" <ann@example.com>", "Ann \"A.\" Smith", "ann@example.com"},
      {"Ann (ACME) <ann@example.com> (work)", "Ann", "ann@example.com"},
  };
  for (const auto& c : cases) {
    TMailMessage m;
    Parse(m, std::string("From: ") + c.value + "\nReply-To: " + c.value + "\n\n");
    EXPECT_EQ(m.FromName(), c.name) << c.value;
    EXPECT_EQ(m.FromAddress(), c.address) << c.value;
    EXPECT_EQ(m.ReplyToName(), c.name) << c.value;
    EXPECT_EQ(m.ReplyToAddress(), c.address) << c.value;
  }
  TMailMessage empty;
  EXPECT_EQ(empty.FromAddress(), "");
}

TEST(MailMessage, RecipientLists) {
  struct Case {
    const char* header;
    std::vector<Recipient> to;
  } cases[] = {
      {"To: a@x, b@y\n", {{"", "a@x"}, {"", "b@y"}}},
      {"To: =?iso-8859-1?Q?J=F6rg?= <j@x>\n", {{"J\xF6rg", "j@x"}}},
      // A ";" that closes no group separates, as some mailers write lists.
      {"To: a@x; b@y\n", {{"", "a@x"}, {"", "b@y"}}},
      {"To: a@x,\n", {{"", "a@x"}}},
      // Groups (RFC 5322 section 3.4): their members, and none for an empty one.
      {"To: undisclosed-recipients:;\n", {}},
      {"To: Team: a@x, \"B; b\" <b@y>;, c@z\n", {{"", "a@x"}, {"B; b", "b@y"}, {"", "c@z"}}},
      {"To: \"Ann (lists; read only)\" <ann@x>, b@y\n",
       {{"Ann (lists; read only)", "ann@x"}, {"", "b@y"}}},
      {"To: =?utf-8?q?Ann_=28ACME=29=2C_Inc?= <a@x>, <\"q, d\"@y>\n",
       {{"Ann (ACME), Inc", "a@x"}, {"", "\"q, d\"@y"}}},
      {"To: \"Doe, John\" <j@x>, Ann <a@x>\n", {{"Doe, John", "j@x"}, {"Ann", "a@x"}}},
      {"To: j@x (John Doe)\n", {{"John Doe", "j@x"}}},
      {"To: A <a@x>\nCc: c@x\nto: B <b@x>\n", {{"A", "a@x"}, {"B", "b@x"}}},
      {"Subject: none\n", {}},
  };
  for (const auto& c : cases) {
    TMailMessage m;
    Parse(m, std::string(c.header) + "\n");
    EXPECT_EQ(List(m.ToList()), c.to) << c.header;
  }

  TMailMessage m;
  Parse(m, "To: a@x\nCc: c@x, d@x\nBcc: e@x\n\n");
  EXPECT_EQ(m.CcList().Count(), 2);
  EXPECT_EQ(m.BccList().Address(0), "e@x");
  EXPECT_EQ(m.ToList().Address(5), "");
  // The lists follow the header when the same object reads another message.
  Parse(m, "To: z@x\n\n");
  EXPECT_EQ(m.ToList().Address(0), "z@x");
  EXPECT_EQ(m.CcList().Count(), 0);
  m.SetFieldValue("Cc", "y@x");
  EXPECT_EQ(m.CcList().Count(), 1);
}

TEST(MailMessage, SubjectIsFreeText) {
  TMailMessage m;
  Parse(m, "Subject: Re: lunch; at noon =?iso-8859-1?Q?caf=E9?=\n\n");
  EXPECT_EQ(m.SubjectText(), "Re: lunch; at noon caf\xE9");
  Parse(m, "Subject: =?UTF-8?Q?na=C3=AFve?= \xFF\n\n");
  EXPECT_EQ(m.SubjectText(), "na\xEFve \xFF"); // a raw byte is read on its own
  Parse(m, "Subject: \"quoted\"\n\n");
  EXPECT_EQ(m.SubjectText(), "quoted");
  Parse(m, "X: y\n\n");
  EXPECT_EQ(m.SubjectText(), "");
}

TEST(MailMessage, DateAndRoute) {
  TMailMessage m;
  Parse(m, "Received: from mail.example.com (mail.example.com [192.0.2.1])\n"
           "\tby mx.example.org (Postfix) with ESMTP id 4F2A1\n"
           "\tfor <user@example.org>; Tue, 15 Nov 1994 08:12:31 +0200\n"
           "Received-SPF: pass (from x by y)\n"
           "Received: by local.host (8.9.3/8.9.3) id AAA01234\n"
           "Received: from  spaced  by ; 32 Jan 2008 10:00 +0000\n"
           "Date: Sun, 06 Nov 1994 08:49:37 GMT\n\n");
  EXPECT_EQ(m.MessageDate(), Local(1994, 11, 6, 9, 49, 37));
  EXPECT_EQ(m.ReceivedCount(), 3);
  TReceived first = m.ReceivedHop(0);
  EXPECT_EQ(first.FromHost, "mail.example.com");
  EXPECT_EQ(first.ByHost, "mx.example.org");
  EXPECT_EQ(first.ForAddress, "user@example.org");
  EXPECT_DOUBLE_EQ(first.Date, Local(1994, 11, 15, 7, 12, 31));
  TReceived second = m.ReceivedHop(1); // the Received-SPF line does not count
  EXPECT_EQ(second.ByHost, "local.host");
  EXPECT_EQ(second.FromHost, "");
  EXPECT_EQ(second.Date, 0); // no ";"
  TReceived third = m.ReceivedHop(2);
  EXPECT_EQ(third.FromHost, "spaced");
  EXPECT_EQ(third.ByHost, ""); // a keyword with no word before ";" stores nothing
  EXPECT_EQ(third.Date, 0);
  EXPECT_EQ(m.ReceivedHop(3).FromHost, "");
  EXPECT_EQ(m.ReceivedHop(-1).FromHost, "");
  // The route in one pass gives the same hops in header order.
  std::vector<TReceived> route = m.Route();
  ASSERT_EQ(route.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(route[i].FromHost, m.ReceivedHop(i).FromHost);
    EXPECT_EQ(route[i].ByHost, m.ReceivedHop(i).ByHost);
    EXPECT_EQ(route[i].ForAddress, m.ReceivedHop(i).ForAddress);
    EXPECT_EQ(route[i].Date, m.ReceivedHop(i).Date);
  }

  Parse(m, "Date: yesterday\n\n");
  EXPECT_EQ(m.MessageDate(), 0);
}

TEST(MailMessage, RouteKeywordsAreNeverValues) {
  struct Case {
    const char* line;
    const char* from;
    const char* by;
    const char* forAddress;
  } cases[] = {
      // The sending host is only an address in brackets: "by" starts the next clause.
      {"Received: from [192.0.2.55] by mx.example.org with SMTP; 1 Jan 2020", "", "mx.example.org",
       ""},
      {"Received: from (unknown) FOR <a@b> by by.example;", "", "by.example", "a@b"},
      {"Received: by mx for for", "", "mx", ""},
      {"Received: from a by b for c;", "a", "b", "c"},
  };
  for (const auto& c : cases) {
    TReceived hop = ParseReceivedLine(c.line);
    EXPECT_EQ(hop.FromHost, c.from) << c.line;
    EXPECT_EQ(hop.ByHost, c.by) << c.line;
    EXPECT_EQ(hop.ForAddress, c.forAddress) << c.line;
  }
}

TEST(MailMessage, FindBodiesOverTrees) {
  struct Case {
    const char* name;
    const char* text;
    const char* textLines; // joined with "|", or nullptr for no text part
    const char* htmlLines;
    std::vector<std::string> attachments; // decoded bodies
  } cases[] = {
      {"mixed(alternative(text, html), pdf)",
       "Content-Type: multipart/mixed; boundary=M\n\n--M\n"
       "Content-Type: multipart/alternative; boundary=A\n\n"
       "--A\nContent-Type: text/plain\n\nline 1\nline 2\n"
       "--A\nContent-Type: text/html\n\n<p>hi</p>\n--A--\n"
       "--M\nContent-Type: application/pdf\nContent-Transfer-Encoding: base64\n\nJVBERg==\n--M--\n",
       "line 1|line 2",
       "<p>hi</p>",
       {"%PDF"}},
      {"alternative(text, related(html, png))",
       "Content-Type: multipart/alternative; boundary=A\n\n"
       "--A\nContent-Type: text/plain\n\nt\n"
       "--A\nContent-Type: multipart/related; boundary=R\n\n"
       "--R\nContent-Type: text/html\n\nh\n--R\nContent-Type: image/png\n\nPNG\n--R--\n"
       "--A--\n",
       "t",
       "h",
       {"PNG"}},
      {"single non-text part",
       "Content-Type: application/octet-stream\n\nbytes",
       nullptr,
       nullptr,
       {"bytes"}},
      {"no type at all", "Subject: x\n\nhello\r\rworld", "hello||world", nullptr, {}},
      {"text/html root", "Content-Type: text/html\n\n<b>x</b>", nullptr, "<b>x</b>", {}},
      // Inline text parts after the body of a mixed part are more of its text, not attachments
      // (an empty one adds nothing); with a file name or as an attachment they stay attachments.
      {"html of mixed without alternative becomes the body, later texts are appended",
       "Content-Type: multipart/mixed; boundary=M\n\n--M\nContent-Type: text/plain\n\nt\n"
       "--M\nContent-Type: text/html\n\nh\n--M\nContent-Type: text/plain\n\nsecond\n"
       "--M\nContent-Type: text/plain\n\n\n--M--\n",
       "t|second",
       "h",
       {}},
      {"named and attached texts stay attachments",
       "Content-Type: multipart/mixed; boundary=M\n\n--M\nContent-Type: text/plain\n\nt\n"
       "--M\nContent-Type: text/plain; name=notes.txt\n\nnotes\n"
       "--M\nContent-Type: text/plain\nContent-Disposition: attachment\n\nattached\n"
       "--M\nContent-Type: text/plain\nContent-Disposition: inline; filename=log.txt\n\nlog\n"
       "--M--\n",
       "t",
       nullptr,
       {"notes", "attached", "log"}},
      // The body is looked for through nested mixed parts.
      {"a nested mixed part's text is found",
       "Content-Type: multipart/mixed; boundary=M\n\n"
       "--M\nContent-Type: multipart/mixed; boundary=N\n\n--N\nContent-Type: text/plain\n\nn\n"
       "--N--\n--M\nContent-Type: application/pdf\n\n%PDF\n--M--\n",
       "n",
       nullptr,
       {"%PDF"}},
      {"mixed(signed(mixed(text, pdf), signature), footer)",
       "Content-Type: multipart/mixed; boundary=M\n\n"
       "--M\nContent-Type: multipart/signed; boundary=S\n\n"
       "--S\nContent-Type: multipart/mixed; boundary=N\n\n--N\nContent-Type: text/plain\n\ntext\n"
       "--N\nContent-Type: application/pdf\n\n%PDF\n--N--\n"
       "--S\nContent-Type: application/pgp-signature\n\nSIG\n--S--\n"
       "--M\nContent-Type: text/plain\n\nfooter\n--M--\n",
       "text|footer",
       nullptr,
       {"%PDF", "SIG"}},
      // A part without a type is text/plain (RFC 2045 section 5.2).
      {"untyped part is text",
       "Content-Type: multipart/mixed; boundary=M\n\n--M\n\nhello\n"
       "--M\nContent-Type: image/gif\n\nGIF\n--M--\n",
       "hello",
       nullptr,
       {"GIF"}},
      // Digests and unknown multipart subtypes are read as mixed; in a digest an untyped part is
      // a message.
      {"digest",
       "Content-Type: multipart/digest; boundary=D\n\n--D\nContent-Type: text/plain\n\nintro\n"
       "--D\n\nSubject: first\n\none\n--D--\n",
       "intro",
       nullptr,
       {"Subject: first\r\n\r\none"}},
      {"unknown multipart subtype",
       "Content-Type: multipart/x-unknown; boundary=U\n\n--U\nContent-Type: text/plain\n\nu\n"
       "--U\nContent-Type: image/gif\n\nGIF\n--U--\n",
       "u",
       nullptr,
       {"GIF"}},
      {"parallel",
       "Content-Type: multipart/parallel; boundary=P\n\n--P\nContent-Type: text/plain\n\np\n"
       "--P\nContent-Type: audio/basic\n\nAU\n--P--\n",
       "p",
       nullptr,
       {"AU"}},
      // Signed and report parts wrap the message: their first text part is its body, the
      // signature and the machine-readable report are attachments.
      {"signed(text, signature)",
       "Content-Type: multipart/signed; boundary=S\n\n--S\nContent-Type: text/plain\n\nsigned\n"
       "--S\nContent-Type: application/pgp-signature\n\nSIG\n--S--\n",
       "signed",
       nullptr,
       {"SIG"}},
      {"signed(mixed(text, pdf), signature)",
       "Content-Type: multipart/signed; boundary=S\n\n"
       "--S\nContent-Type: multipart/mixed; boundary=M\n\n--M\nContent-Type: text/plain\n\ntext\n"
       "--M\nContent-Type: application/pdf\n\n%PDF\n--M--\n"
       "--S\nContent-Type: application/pkcs7-signature\n\nP7S\n--S--\n",
       "text",
       nullptr,
       {"%PDF", "P7S"}},
      {"mixed(signed(alternative(text, html), signature), footer)",
       "Content-Type: multipart/mixed; boundary=M\n\n"
       "--M\nContent-Type: multipart/signed; boundary=S\n\n"
       "--S\nContent-Type: multipart/alternative; boundary=A\n\n"
       "--A\nContent-Type: text/plain\n\nt\n--A\nContent-Type: text/html\n\nh\n--A--\n"
       "--S\nContent-Type: application/pgp-signature\n\nSIG\n--S--\n"
       "--M\nContent-Type: text/plain\n\nfooter\n--M--\n",
       "t|footer",
       "h",
       {"SIG"}},
      {"report(text, delivery-status, rfc822)",
       "Content-Type: multipart/report; report-type=delivery-status; boundary=R\n\n"
       "--R\nContent-Type: text/plain\n\nnot delivered\n"
       "--R\nContent-Type: message/delivery-status\n\nAction: failed\n"
       "--R\nContent-Type: message/rfc822\n\nSubject: original\n",
       "not delivered",
       nullptr,
       {"Action: failed", "Subject: original\r\n"}},
      {"empty text root is its own attachment",
       "Content-Type: text/plain\n\n",
       nullptr,
       nullptr,
       {""}},
  };
  for (const auto& c : cases) {
    TMailMessage m;
    Parse(m, c.text);
    auto joined = [](const std::vector<std::string>& lines) {
      std::string r;
      for (size_t i = 0; i < lines.size(); ++i)
        r += (i ? "|" : "") + lines[i];
      return r;
    };
    if (c.textLines) {
      ASSERT_NE(m.TextPart(), nullptr) << c.name;
      EXPECT_EQ(joined(m.TextLines()), c.textLines) << c.name;
    } else {
      EXPECT_EQ(m.TextPart(), nullptr) << c.name;
      EXPECT_TRUE(m.TextLines().empty()) << c.name;
    }
    if (c.htmlLines) {
      ASSERT_NE(m.HtmlPart(), nullptr) << c.name;
      EXPECT_EQ(joined(m.HtmlLines()), c.htmlLines) << c.name;
    } else {
      EXPECT_EQ(m.HtmlPart(), nullptr) << c.name;
    }
    std::vector<std::string> bodies;
    for (TMailPart* p : m.Attachments()) {
      p->DecodeBody();
      bodies.push_back(p->DecodedBody());
    }
    EXPECT_EQ(bodies, c.attachments) << c.name;
  }
}

TEST(MailMessage, FindBodiesRecordsTheFirstMultipartOfEachKind) {
  TMailMessage m;
  Parse(m, "Content-Type: multipart/mixed; boundary=M\n\n--M\n"
           "Content-Type: multipart/alternative; boundary=A\n\n"
           "--A\nContent-Type: text/plain\n\nt\n--A--\n--M--\n");
  EXPECT_EQ(m.MixedPart(), &m);
  EXPECT_EQ(m.AlternativePart(), m.SubParts()[0]);
  EXPECT_EQ(m.RelatedPart(), nullptr);
  EXPECT_FALSE(m.AnalysisPending());
}

TEST(MailMessage, ContentIdPartFollowsTheMessage) {
  TMailMessage m;
  Parse(m, "Content-Type: multipart/related; boundary=R\n\n"
           "--R\nContent-Type: text/html\n\n<img src=cid:a>\n"
           "--R\nContent-ID: <a>\n\nfirst\n--R\nContent-ID: a\n\nsecond\n--R--\n");
  ASSERT_NE(m.ContentIdPart("a"), nullptr);
  EXPECT_EQ(m.ContentIdPart("a"), m.SubParts()[1]); // the first in tree order
  EXPECT_EQ(m.ContentIdPart("b"), nullptr);
  Parse(m, "Content-Type: multipart/related; boundary=R\n\n--R\nContent-ID: <b>\n\nnew\n--R--\n");
  EXPECT_EQ(m.ContentIdPart("a"), nullptr); // nothing of the last message is found
  EXPECT_EQ(m.ContentIdPart("b"), m.SubParts()[0]);
}

TEST(MailMessage, PartsBeyondTheCountAreKeptWhole) {
  // 20,000 parts of ten bytes: a part record costs far more than its text, so the message
  // splits only into as many parts as its size allows and keeps the rest in the last one.
  std::string text = "Content-Type: multipart/mixed; boundary=b\r\n\r\n";
  const int parts = 20000;
  for (int i = 0; i < parts; ++i)
    text += "--b\r\n\r\nx\r\n";
  text += "--b--\r\n";
  TMailMessage m;
  m.ReadFromText(text);
  const int split = m.SubParts().Count();
  EXPECT_LE(split, static_cast<int>(101 + text.size() / 64));
  EXPECT_GT(split, 1000);
  const std::string& rest = m.SubParts()[split - 1]->EncodedBody();
  size_t xs = 0;
  for (size_t at = rest.find("x\r\n"); at != std::string::npos; at = rest.find("x\r\n", at + 1))
    ++xs;
  EXPECT_EQ(static_cast<int>(xs), parts - split + 1); // nothing is lost
  EXPECT_TRUE(rest.ends_with("--b--\r\n"));
  m.FindBodies();
  // Untyped parts are text: the first is the body, the others follow it.
  EXPECT_NE(m.TextPart(), nullptr);
  EXPECT_EQ(m.AppendedParts().Count(), split - 1);
  EXPECT_EQ(m.Attachments().Count(), 0);
}

TEST(MailMessage, Utf8BodiesAreConvertedLeniently) {
  TMailMessage m;
  Parse(m, "Content-Type: text/plain; charset=utf-8\n\nCaf\xC3\xA9 \xF0\x9F\x98\x80\n\xE9t\xE9\n");
  EXPECT_EQ(m.TextLines(), (std::vector<std::string>{"Caf\xE9 ?", "?t?"}));
  EXPECT_EQ(m.TextBodyText(), "Caf\xE9 ?\r\n?t?\r\n");
  Parse(m, "Content-Type: text/plain; charset=iso-8859-1\n\nCaf\xC3\xA9\n");
  EXPECT_EQ(m.TextLines(), (std::vector<std::string>{"Caf\xC3\xA9"}));
  Parse(m, std::string("Content-Type: text/plain\n\nbefore\0after", 38));
  EXPECT_EQ(m.TextLines(), (std::vector<std::string>{"before after"})); // a zero byte ends nothing
  EXPECT_EQ(m.TextBodyText(), "before after");
}

TEST(MailMessage, ParsingAgainDropsWhatWasDerived) {
  TMailMessage m;
  Parse(m,
        "Content-Type: multipart/mixed; boundary=M\n\n--M\nContent-Type: image/gif\n\nG\n--M--\n");
  ASSERT_EQ(m.Attachments().Count(), 1);
  m.ReadFromText(Crlf("Subject: plain\n\nx"));
  EXPECT_TRUE(m.AnalysisPending());
  EXPECT_TRUE(m.RebuildPending());
  EXPECT_EQ(m.Attachments().Count(), 0); // never a reference to a released part
  EXPECT_EQ(m.MixedPart(), nullptr);
  m.FindBodies();
  EXPECT_EQ(m.TextLines(), (std::vector<std::string>{"x"}));

  m.ResetMessage();
  EXPECT_TRUE(m.HeaderLines().empty());
  EXPECT_TRUE(m.TextLines().empty());
  EXPECT_FALSE(m.AnalysisPending());
  EXPECT_FALSE(m.RebuildPending());
  EXPECT_EQ(m.Charset(), "iso-8859-1");
}

// The source is what was read, byte for byte: folded lines, header names as written, the
// preamble, a mailbox separator line and a file's own line ends all stay.
TEST(MailMessage, SourceTextIsTheTextAsStored) {
  const std::string text =
      Crlf("From - Wed Jan 04 16:30:01 2023\ncontent-type: multipart/mixed;\n"
           "  boundary=M\nsubject: s\n\npreamble\n--M\ncontent-type: text/plain\n\nx\n--M--\n");
  TMailMessage m;
  m.ReadFromText(text);
  m.FindBodies();
  EXPECT_EQ(m.TextLines(), (std::vector<std::string>{"x"}));
  EXPECT_EQ(m.SourceText(), text);
  m.ReadFromText(m.SourceText());
  EXPECT_EQ(m.SourceText(), text);
  // Adopted text parses alike and becomes the source without a copy.
  std::string adopted = text;
  m.AdoptText(adopted);
  EXPECT_TRUE(adopted.empty());
  EXPECT_EQ(m.SourceText(), text);
  m.FindBodies();
  EXPECT_EQ(m.TextLines(), (std::vector<std::string>{"x"}));

  pellora::test::TTempDir dir;
  const std::string stored = std::string("Subject: lf\n\nbefore") + '\0' + "after\n";
  m.ReadFromFile(dir.Write("lf.eml", stored));
  m.FindBodies();
  EXPECT_EQ(m.SubjectText(), "lf");
  EXPECT_EQ(m.SourceText(), stored);

  m.ResetMessage();
  EXPECT_EQ(m.SourceText(), "");
}

TEST(MailMessage, HtmlViewDocument) {
  struct {
    const char* name;
    const char* message;
    std::string document;
  } cases[] = {
      {"html body as it is", "Content-Type: text/html\n\n<p>a &amp; b</p>\n<br>\n",
       "<p>a &amp; b</p>\r\n<br>"},
      {"text escaped in a pre", "Subject: t\n\n<b>1 & 2</b>\n\n  > quoted\n",
       "<pre style=\"white-space: pre-wrap; overflow-wrap: anywhere\">&lt;b&gt;1 &amp; "
       "2&lt;/b&gt;\r\n"
       "\r\n  &gt; quoted</pre>"},
      {"html preferred to text",
       "Content-Type: multipart/alternative; boundary=A\n\n--A\nContent-Type: text/plain\n\nt\n"
       "--A\nContent-Type: text/html\n\n<i>h</i>\n--A--\n",
       "<i>h</i>"},
      {"no body", "Content-Type: image/gif\n\nGIF\n", ""},
      {"text after the html shown after the page",
       "Content-Type: multipart/mixed; boundary=M\n\n--M\nContent-Type: text/html\n\n<p>h</p>\n"
       "--M\nContent-Type: text/plain\n\n<footer>\n--M--\n",
       "<p>h</p><pre style=\"white-space: pre-wrap; overflow-wrap: "
       "anywhere\">&lt;footer&gt;</pre>"},
  };
  for (const auto& c : cases) {
    TMailMessage m;
    Parse(m, c.message);
    EXPECT_EQ(m.HtmlViewDocument(), c.document) << c.name;
  }
}

// Without a text body the plain text is the HTML's text, with what follows the body after it.
TEST(MailMessage, PlainTextOfAnHtmlOnlyMessage) {
  TMailMessage m;
  Parse(m, "Content-Type: multipart/mixed; boundary=M\n\n"
           "--M\nContent-Type: text/html\n\n<html><head><title>t</title></head>"
           "<body><p>Hi &amp; bye</p><p>two</p></body></html>\n"
           "--M\nContent-Type: text/plain\n\n____\nList footer\n--M--\n");
  EXPECT_EQ(m.TextPart(), nullptr);
  EXPECT_TRUE(m.PlainFromHtml());
  EXPECT_EQ(m.AppendedParts().Count(), 1);
  EXPECT_EQ(m.Attachments().Count(), 0);
  EXPECT_EQ(m.PlainViewText(), "Hi & bye\r\ntwo\r\n____\r\nList footer");
  EXPECT_EQ(m.PlainViewLines(),
            (std::vector<std::string>{"Hi & bye", "two", "____", "List footer"}));

  Parse(m, "Subject: t\n\ntext\n");
  EXPECT_FALSE(m.PlainFromHtml());
  EXPECT_EQ(m.PlainViewText(), "text\r\n");
  Parse(m, "Content-Type: image/gif\n\nGIF\n");
  EXPECT_FALSE(m.PlainFromHtml());
  EXPECT_EQ(m.PlainViewText(), "");
}

TEST(MailMessage, RebuildBody) {
  TMailMessage m;
  Parse(m, "Subject: s\nContent-Type: multipart/mixed; boundary=\"M\"\n\npreamble\n"
           "--M\nContent-Type: multipart/alternative; boundary=A\n\nnested preamble\n"
           "--A\nContent-Type: text/plain\n\nt\n--A\nContent-Type: text/html\n\nh\n--A--\n"
           "--M\nContent-Type: image/gif\n\nGIF\n--M--\n");
  m.RebuildBody();
  EXPECT_FALSE(m.RebuildPending());
  const std::string& body = m.EncodedBody();
  EXPECT_EQ(body, Crlf("This is a multipart message in mime format.\n"
                       "\n--M\nContent-Type: multipart/alternative; boundary=A\n\n"
                       "\n--A\nContent-Type: text/plain\n\nt"
                       "\n--A\nContent-Type: text/html\n\nh"
                       "\n--A--\n"
                       "\n--M\nContent-Type: image/gif\n\nGIF"
                       "\n--M--\n"));
  EXPECT_EQ(m.HeaderLines().back(), "Content-Length: " + std::to_string(body.size()));

  // The rebuilt text parses into the same tree.
  std::string whole;
  for (const auto& line : m.HeaderLines())
    whole += line + "\r\n";
  whole += "\r\n" + body;
  TMailMessage again;
  again.ReadFromText(whole);
  again.FindBodies();
  EXPECT_EQ(again.TextLines(), (std::vector<std::string>{"t"}));
  EXPECT_EQ(again.HtmlLines(), (std::vector<std::string>{"h"}));
  ASSERT_EQ(again.Attachments().Count(), 1);
  EXPECT_EQ(again.Attachments()[0]->EncodedBody(), "GIF");

  m.SetEncodedBody("changed");
  m.RebuildBody(); // nothing pending: nothing happens
  EXPECT_EQ(m.EncodedBody(), "changed");

  TMailMessage single;
  Parse(single, "Subject: s\n\nabc\n");
  single.RebuildBody();
  EXPECT_EQ(single.EncodedBody(), "abc\r\n");
  EXPECT_EQ(single.FieldValue("Content-Length"), "5");
}
