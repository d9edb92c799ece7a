// pellora-cli as scripts use it: the real binary, its output, its exit codes.
#include "platform/files.h"
#include "support/discovery_builders.h"
#include "support/poppler.h"
#include "support/run_command.h"
#include "support/scoped_env.h"
#include "support/compress_builders.h"
#include "support/store_builders.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

namespace {

struct TRun : pellora::test::TCommandRun {
  std::string err; // when asked for apart from out
};
using pellora::test::ShellQuote;

enum TStderr { seDropped, seWithOut, seApart };

TRun Cli(const std::vector<std::string>& args, TStderr stderrTo) {
  std::string command = PELLORA_CLI;
  for (const auto& a : args) command += " " + ShellQuote(a);
  pellora::test::TTempDir errDir;
  const std::string errFile = errDir / "stderr";
  command += stderrTo == seWithOut ? " 2>&1" : stderrTo == seApart ? " 2>" + ShellQuote(errFile) : " 2>/dev/null";
  TRun run;
  static_cast<pellora::test::TCommandRun&>(run) = pellora::test::RunCommand(command);
  if (stderrTo == seApart) run.err = pellora::ReadWholeFile(errFile);
  return run;
}

TRun Cli(const std::vector<std::string>& args, bool withStderr = false) {
  return Cli(args, withStderr ? seWithOut : seDropped);
}

const std::string samples = PELLORA_SAMPLES;

} // namespace

TEST(Cli, KindOfPaths) {
  pellora::test::TTempDir dir;
  std::string folder = dir.MakeDir("Mail.box");
  TRun run = Cli({"kind", "/m/Inbox.DBX", folder + "/Inbox", folder, "/m/notes.txt", "/m/a.eml"});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.out, "0\t/m/Inbox.DBX\n2\t" + folder + "/Inbox\n1\t" + folder +
                         "\n255\t/m/notes.txt\n3\t/m/a.eml\n");
}

TEST(Cli, MessageAsJson) {
  TRun run = Cli({"message", samples + "/welcome.eml"});
  ASSERT_EQ(run.code, 0);
  auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["from"]["name"], "Ada L\xC3\xB6vgren");
  EXPECT_EQ(json["subject"], "Welcome to Pellora \xE2\x80\x93 a sample message");
  EXPECT_EQ(json["date"], "2023-03-14T09:14:58");
  EXPECT_EQ(json["to"].size(), 2u);
  EXPECT_EQ(json["received"].size(), 2u);
  EXPECT_EQ(json["attachments"][1]["name"], "notes.txt");
  EXPECT_TRUE(json["text"].get<std::string>().rfind("Hello,\n", 0) == 0);
}

// A message without a text body gives the text its HTML shows, and says so.
TEST(Cli, MessageWithoutTextGivesItsHtmlsText) {
  pellora::test::TTempDir dir;
  TRun run =
      Cli({"message", dir.Write("h.eml", "Content-Type: text/html\r\n\r\n"
                                         "<p>Hi &amp; <a href=\"x\">bye</a></p><p>two</p>\r\n")});
  ASSERT_EQ(run.code, 0);
  auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["text"], "Hi & bye\ntwo");
  EXPECT_EQ(json["text_from_html"], true);
  EXPECT_EQ(json["html"], "<p>Hi &amp; <a href=\"x\">bye</a></p><p>two</p>");
  json = nlohmann::json::parse(Cli({"message", samples + "/welcome.eml"}).out);
  EXPECT_EQ(json["text_from_html"], false);
}

TEST(Cli, ListTextFilterAndAddresses) {
  TRun list = Cli({"list", samples + "/Inbox"});
  ASSERT_EQ(list.code, 0);
  EXPECT_EQ(list.out.substr(0, list.out.find('\n')), "#\tFrom\tSubject\tTo\tReceived\tSize\tPriority\tFlags");
  EXPECT_NE(list.out.find("\n3\tDan <dan@example.net>\tLunch on Friday?"), std::string::npos);

  TRun json = Cli({"list", "--json", samples + "/Archive.dbx"});
  ASSERT_EQ(json.code, 0);
  auto rows = nlohmann::json::parse(json.out);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0]["Subject"], "Holiday photos");
  EXPECT_EQ(rows[0]["Flags"], "4000");

  // The message as the store holds it, as export --eml writes it; its lines with --lines.
  TRun text = Cli({"text", samples + "/Inbox", "1"});
  ASSERT_EQ(text.code, 0);
  EXPECT_EQ(text.out.rfind("X-Mozilla-Status: 0001\r\n", 0), 0u);
  pellora::test::TTempDir exported;
  ASSERT_EQ(Cli({"export", samples + "/Inbox", "--eml", exported.Path(), "--index", "1"}).code, 0);
  std::vector<std::string> files;
  pellora::FindFiles(exported.Path(), "*.eml", pellora::faAnyFile, false, &files);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(text.out, pellora::ReadWholeFile(files[0]));
  TRun lines = Cli({"text", "--lines", samples + "/Inbox", "1"});
  ASSERT_EQ(lines.code, 0);
  EXPECT_EQ(lines.out.rfind("From - Wed Jan 04 16:30:01 2023\r\nX-Mozilla-Status: 0001\r\n", 0),
            0u);

  TRun filter = Cli({"filter", samples + "/Messages", "3", "friday"});
  EXPECT_EQ(filter.code, 0);
  EXPECT_EQ(filter.out, "2\n");

  TRun addresses = Cli({"addresses", "--kind", "0", samples + "/Archive.dbx"});
  EXPECT_EQ(addresses.code, 0);
  EXPECT_NE(addresses.out.find("erin@example.com = Erin\n"), std::string::npos);
}

// A query over one store prints list's columns; over several, each row's store first. A query
// that cannot be read is wrong usage and names its character; a store that cannot be read fails.
TEST(Cli, SearchOverStores) {
  const std::string inbox = samples + "/Inbox", messages = samples + "/Messages";
  TRun one = Cli({"search", inbox, "after:2023-01-03 smaller:400"});
  ASSERT_EQ(one.code, 0);
  const std::string header = "#\tFrom\tSubject\tTo\tReceived\tSize\tPriority\tFlags\n";
  EXPECT_EQ(one.out.substr(0, header.size()), header);
  const std::string row = one.out.substr(header.size());
  EXPECT_EQ(row.rfind("3\tDan <dan@example.net>\tLunch on Friday?\tReader <reader@example.net>\t", 0), 0u);
  EXPECT_TRUE(row.ends_with("\t371\t0\t80\n") && std::count(row.begin(), row.end(), '\n') == 1) << row;

  // A body term, a negation and OR; rows in each store's list order.
  TRun several = Cli({"search", inbox, messages, "friday OR body:berlin -from:carol"});
  ASSERT_EQ(several.code, 0);
  std::vector<std::string> starts;
  for (size_t at = 0; at < several.out.size(); at = several.out.find('\n', at) + 1)
    starts.push_back(several.out.substr(at, several.out.find('\t', at) - at) + "#" +
                     several.out.substr(several.out.find('\t', at) + 1, 1));
  EXPECT_EQ(starts, (std::vector<std::string>{"Path##", inbox + "#3", inbox + "#2",
                                              messages + "#3", messages + "#2"}));

  TRun json = Cli({"search", "--json", inbox, samples + "/Archive.dbx", "has:attachment"});
  ASSERT_EQ(json.code, 0);
  auto rows = nlohmann::json::parse(json.out);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0]["Path"], samples + "/Archive.dbx");
  EXPECT_EQ(rows[0]["Subject"], "Holiday photos");
  EXPECT_EQ(nlohmann::json::parse(Cli({"search", "--json", inbox, "nothing-like-it"}).out).size(), 0u);

  // The character, not the byte: the umlauts before it take two bytes each in UTF-8.
  TRun bad = Cli({"search", inbox, "Gr\xC3\xBC\xC3\x9F" "e before:2023-13-01"}, seApart);
  EXPECT_EQ(bad.code, 2);
  EXPECT_EQ(bad.out, "");
  EXPECT_EQ(bad.err.rfind("error in the query at character 13: not a date: 2023-13-01", 0), 0u)
      << bad.err;
  EXPECT_EQ(Cli({"search", inbox}).code, 2);
  EXPECT_EQ(Cli({"search", inbox, samples + "/no-such-store", "x"}).code, 1);
}

// Mail in Japanese, Russian and Greek as a user of a UTF-8 locale reads it, and as users of
// legacy code pages do (the output is UTF-8 either way).
TEST(Cli, MessagesInEveryCharset) {
  const std::string world = samples + "/World/";
  const std::string jp = "\xE4\xBC\x9A\xE8\xAD\xB0\xE3\x81\xAE\xE8\xB3\x87\xE6\x96\x99"
                         "\xE3\x81\xAB\xE3\x81\xA4\xE3\x81\x84\xE3\x81\xA6";
  const std::string ru = "\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82 \xD0\xB7\xD0\xB0 "
                         "\xD0\xBA\xD0\xB2\xD0\xB0\xD1\x80\xD1\x82\xD0\xB0\xD0\xBB";
  const std::string gr = "\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1 "
                         "\xCE\xB1\xCF\x80\xCF\x8C \xCF\x84\xCE\xB7\xCE\xBD "
                         "\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1";
  struct {
    const char* codePage; // nullptr: the locale's
    std::string japanese, russian, greek;
  } cases[] = {
      {nullptr, jp, ru, gr},
      {"1251", "?????????", ru, "???????? ??? ??? ?????"},
      {"1253", "?????????", "????? ?? ???????", gr},
  };
  for (const auto& c : cases) {
    pellora::test::TScopedEnv codePage("PELLORA_CODEPAGE", c.codePage);
    pellora::test::TScopedEnv locale("LC_ALL", "en_US.UTF-8");
    TRun list = Cli({"list", world});
    ASSERT_EQ(list.code, 0);
    for (const std::string* subject : {&c.japanese, &c.russian, &c.greek})
      EXPECT_NE(list.out.find("\t" + *subject + "\t"), std::string::npos)
          << *subject << " in " << list.out;
  }
  pellora::test::TScopedEnv codePage("PELLORA_CODEPAGE", nullptr);
  pellora::test::TScopedEnv locale("LC_ALL", "en_US.UTF-8");
  struct {
    std::string file, subject, body, attachment;
  } messages[] = {
      {"japanese.eml", jp, "\xE5\xB1\xB1\xE7\x94\xB0\xE3\x81\xA7\xE3\x81\x99\xE3\x80\x82",
       "\xE8\xB3\x87\xE6\x96\x99.pdf"},
      {"russian.eml", ru,
       "\xD0\x94\xD0\xBE\xD0\xB1\xD1\x80\xD1\x8B\xD0\xB9 \xD0\xB4\xD0\xB5\xD0\xBD\xD1\x8C!",
       ru + ".txt"},
      {"greek.eml", gr, gr + "!",
       "\xCE\xA0\xCF\x81\xCF\x8C\xCE\xB3\xCF\x81\xCE\xB1\xCE\xBC\xCE\xBC\xCE\xB1 "
       "\xCE\xB5\xCE\xBA\xCE\xB4\xCF\x81\xCE\xBF\xCE\xBC\xCE\xAE\xCF\x82.txt"},
  };
  for (const auto& m : messages) {
    TRun run = Cli({"message", world + m.file});
    ASSERT_EQ(run.code, 0) << m.file;
    auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["subject"], m.subject);
    EXPECT_EQ(json["text"].get<std::string>().substr(0, m.body.size()), m.body);
    EXPECT_EQ(json["attachments"][0]["name"], m.attachment);
  }
}

TEST(Cli, MailboxFilesOfOtherProgramsWithoutKind) {
  pellora::test::TTempDir dir;
  const std::string classic =
      "From ann@example.org Fri Jan  1 10:00:00 2010\nFrom: Ann <ann@example.org>\n"
      "To: Bob <bob@example.org>\nSubject: First\nDate: Fri, 1 Jan 2010 10:00:00 +0000\n\n"
      "Hello\n>From here on\n\n"
      "From bob@example.org Sat Jan  2 10:00:00 2010\nFrom: Bob <bob@example.org>\n"
      "To: Ann <ann@example.org>\nSubject: Second\nDate: Sat, 2 Jan 2010 10:00:00 +0000\n\n"
      "Lunch on Friday?\n";
  for (const char* name : {"list.mbox", "Old.Mail"}) {
    SCOPED_TRACE(name);
    const std::string path = dir.Write(name, classic);
    EXPECT_EQ(Cli({"kind", path}).out, "2\t" + path + "\n");
    TRun list = Cli({"list", path});
    ASSERT_EQ(list.code, 0);
    EXPECT_NE(list.out.find("\n2\tBob <bob@example.org>\tSecond\tAnn <ann@example.org>\t"
                            "2010-01-02T11:00:00\t"),
              std::string::npos);
    EXPECT_NE(list.out.find("\n1\tAnn <ann@example.org>\tFirst\t"), std::string::npos);
    TRun text = Cli({"text", path, "0"});
    ASSERT_EQ(text.code, 0);
    EXPECT_EQ(text.out, classic.substr(classic.find("From: Ann"),
                                       classic.find("\nFrom bob") - classic.find("From: Ann")));
    text = Cli({"text", "--lines", path, "0"});
    EXPECT_EQ(text.out.substr(text.out.find("\r\n\r\nHello")),
              "\r\n\r\nHello\r\n>From here on\r\n\r\n");
    EXPECT_EQ(Cli({"filter", path, "5", "friday"}).out, "1\n");
    EXPECT_EQ(Cli({"addresses", path}).out, "ann@example.org = Ann\nbob@example.org = Bob\n");
  }

  // A Maildir: the flags of its file names are listed as a database's are.
  dir.Write("Mail/cur/1262340000.M1P1.host:2,FS",
            "From: Ann <ann@example.org>\nSubject: read\n\nx\n");
  dir.Write("Mail/new/1262430000.M2P2.host", "From: Bob <bob@example.org>\nSubject: new\n\nx\n");
  TRun maildir = Cli({"list", "--json", dir / "Mail"});
  ASSERT_EQ(maildir.code, 0);
  auto rows = nlohmann::json::parse(maildir.out);
  ASSERT_EQ(rows.size(), 2u);
  std::map<std::string, std::string> flags;
  for (const auto& row : rows)
    flags[row["Subject"]] = row["Flags"];
  EXPECT_EQ(flags["read"], "A0");
  EXPECT_EQ(flags["new"], "0");
  EXPECT_EQ(Cli({"filter", dir / "Mail", "2", "bob"}).out, "1\n");

  // A message saved without extension is no mailbox file.
  const std::string saved = dir.Write("saved", "From: Ann <ann@example.org>\nSubject: x\n\nbody\n");
  EXPECT_EQ(Cli({"kind", saved}).out, "3\t" + saved + "\n");
  EXPECT_EQ(Cli({"message", saved}).code, 0);
}

// --recover: list gains the State column and the rows found outside the index, which text and
// export read as any other; without it the output is as it always was.
// --threads: rows grouped by conversation, each with its thread number and depth.
TEST(Cli, ListThreads) {
  pellora::test::TTempDir dir;
  auto message = [](const char* id, int day, const char* links) {
    return "From x Fri Jan  1 10:00:00 2010\nFrom: x@example.org\nSubject: " + std::string(id) +
           "\nMessage-ID: <" + id + "@x>\n" + links + "Date: " + std::to_string(day) +
           " Jan 2010 10:00:00 +0000\n\nbody\n\n";
  };
  const std::string path = dir.Write(
      "threads.mbox", message("a", 1, "") + message("c", 2, "") +
                          message("b", 3, "In-Reply-To: <a@x>\n") +
                          message("d", 4, "References: <a@x>\n <b@x>\n"));
  TRun list = Cli({"list", "--threads", path});
  ASSERT_EQ(list.code, 0);
  std::vector<std::string> shown; // subject, thread, depth
  std::istringstream lines(list.out);
  std::string line;
  std::getline(lines, line);
  EXPECT_TRUE(line.ends_with("\tFlags\tThread\tDepth")) << line;
  while (std::getline(lines, line)) {
    std::vector<std::string> cells;
    for (size_t at = 0, tab; at <= line.size(); at = tab + 1) {
      tab = std::min(line.find('\t', at), line.size());
      cells.push_back(line.substr(at, tab - at));
    }
    ASSERT_EQ(cells.size(), 10u) << line;
    shown.push_back(cells[2] + " " + cells[8] + " " + cells[9]);
  }
  EXPECT_EQ(shown, (std::vector<std::string>{"a 1 0", "b 1 1", "d 1 2", "c 2 0"}));
  auto rows = nlohmann::json::parse(Cli({"list", "--json", "--threads", path}).out);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[2]["Subject"], "d");
  EXPECT_EQ(rows[2]["Thread"], 1);
  EXPECT_EQ(rows[2]["Depth"], 2);
}

TEST(Cli, RecoverAddsTheMessagesOutsideTheIndex) {
  pellora::test::TTempDir dir;
  pellora::test::TDbxBuilder b;
  auto add = [&](const std::string& subject) {
    const uint32_t text = b.AddText("Subject: " + subject + "\r\n\r\nbody of " + subject + "\r\n");
    return b.AddRecord({pellora::test::TDbxProperty::Text(0x08, subject),
                        pellora::test::TDbxProperty::Direct(0x84, text)});
  };
  const uint32_t kept = add("kept");
  add("lost");
  const std::string path = dir.Write("Inbox.dbx", b.Build(1, b.AddTree({kept})));
  TRun plain = Cli({"list", path});
  ASSERT_EQ(plain.code, 0);
  EXPECT_EQ(plain.out.substr(0, plain.out.find('\n')), "#\tFrom\tSubject\tTo\tReceived\tSize\tPriority\tFlags");
  EXPECT_EQ(std::count(plain.out.begin(), plain.out.end(), '\n'), 2);
  TRun list = Cli({"list", "--recover", path});
  ASSERT_EQ(list.code, 0);
  EXPECT_NE(list.out.find("\tFlags\tState\n"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("\tlost\t"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("\tRecovered\n"), std::string::npos) << list.out;
  auto rows = nlohmann::json::parse(Cli({"list", "--json", "--recover", path}).out);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(Cli({"text", "--recover", path, "1"}).out, "Subject: lost\r\n\r\nbody of lost\r\n");
  EXPECT_NE(Cli({"text", path, "1"}).code, 0); // no such row without recovery
  pellora::test::TTempDir out;
  TRun exported = Cli({"export", "--recover", path, "--eml", out.Path(), "--index", "1"});
  ASSERT_EQ(exported.code, 0);
  EXPECT_NE(exported.out.find("lost.eml"), std::string::npos) << exported.out;
}

// Compressed mailbox files read as the plain file; Apple Mail's message files and folders of
// them read without their frames, their flags listed.
TEST(Cli, CompressedMailboxFilesAndAppleMail) {
  pellora::test::TTempDir dir;
  std::vector<pellora::test::TMboxTestMessage> messages(3);
  for (size_t i = 0; i < messages.size(); ++i)
    messages[i].Lines = {"From: Ann <ann@example.org>", "Subject: part " + std::to_string(i),
                         "Date: " + std::to_string(i + 1) + " Jan 2010 10:00:00 +0000", "",
                         "line of part " + std::to_string(i), ""};
  const std::string text = pellora::test::BuildMailbox(messages);
  const std::string plain = dir.Write("Inbox", text);
  const std::vector<std::vector<std::string>> commands = {
      {"list"}, {"text", "", "1"}, {"text", "--lines", "", "2"}, {"filter", "", "0", "part 1"},
      {"addresses"}};
  auto run = [&](std::vector<std::string> args, const std::string& path) {
    auto at = std::find(args.begin(), args.end(), "");
    if (at == args.end()) args.push_back(path); else *at = path;
    return Cli(args, true).out;
  };
  for (auto [name, form] : {std::pair{"Inbox.mbox.gz", pellora::czGzip},
                            std::pair{"Inbox.bz2", pellora::czBzip2},
                            std::pair{"2010-January.txt.xz", pellora::czXz},
                            std::pair{"archive", pellora::czZstd}}) {
    SCOPED_TRACE(name);
    const std::string path = dir.Write(name, pellora::test::Compress(text, form));
    EXPECT_EQ(Cli({"kind", path}).out, "2\t" + path + "\n");
    for (const auto& command : commands)
      EXPECT_EQ(run(command, path), run(command, plain)) << command[0];
  }

  const std::string message = "From: Ann <ann@example.org>\r\nSubject: hello\r\n\r\nbody\r\n";
  const std::string one = dir.Write("Messages/1.emlx", pellora::test::BuildEmlx(message, 1 | 16));
  dir.Write("Messages/2.emlx", pellora::test::BuildEmlx(message, 0));
  EXPECT_EQ(Cli({"kind", one, dir / "Messages"}).out, "3\t" + one + "\n1\t" + (dir / "Messages") + "\n");
  auto json = nlohmann::json::parse(Cli({"message", one}).out);
  EXPECT_EQ(json["subject"], "hello");
  EXPECT_EQ(json["text"], "body");
  auto rows = nlohmann::json::parse(Cli({"list", "--json", dir / "Messages"}).out);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0]["#"], 1);
  EXPECT_EQ(rows[0]["Flags"], "A0"); // read and flagged
  EXPECT_EQ(rows[1]["Flags"], "0");
  EXPECT_EQ(Cli({"text", dir / "Messages", "1"}).out, message);
}

TEST(Cli, FailuresAndUsage) {
  pellora::test::TTempDir dir;
  TRun missing = Cli({"list", dir / "none.dbx"}, true);
  EXPECT_EQ(missing.code, 1);
  EXPECT_EQ(missing.out, "File " + (dir / "none.dbx") + " does not exist.\n");
  TRun unsupported = Cli({"list", dir.Write("text.dbx", "plain text\r\n")}, true);
  EXPECT_EQ(unsupported.code, 1);
  EXPECT_EQ(unsupported.out, "File is not in supported format.\n");
  EXPECT_EQ(Cli({}).code, 2);
  EXPECT_EQ(Cli({"nonsense"}).code, 2);
  EXPECT_EQ(Cli({"text", samples + "/Inbox"}).code, 2);
  EXPECT_EQ(Cli({"list", "--kind", "7", samples + "/Inbox"}).code, 2);
  TRun help = Cli({"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("kind PATH"), std::string::npos);
  EXPECT_EQ(Cli({"--version"}).out.rfind("pellora-cli ", 0), 0u);
}

TEST(Cli, StoresOfEveryPlace) {
  pellora::test::TTempDir dir;
  const std::string home = dir.MakeDir("home");
  pellora::test::WriteLinuxThunderbird(home);
  const std::string wine = pellora::test::WriteWinePrefix(dir / "wine");
  const std::string xp = pellora::test::WriteXPProfile(dir / "xp");
  const std::string w7 = pellora::test::WriteWindows7Profile(dir / "w7");
  // The current user's places come from the environment the command inherits.
  struct TEnvironment {
    TEnvironment(const std::string& home, const std::string& wine) {
      setenv("HOME", home.c_str(), 1);
      setenv("WINEPREFIX", wine.c_str(), 1);
    }
    ~TEnvironment() {
      setenv("HOME", FHome.c_str(), 1);
      unsetenv("WINEPREFIX");
    }
    std::string FHome = getenv("HOME") ? getenv("HOME") : "/";
  } environment(dir.MakeDir("nobody"), dir / "nowine");

  TRun none = Cli({"stores"});
  EXPECT_EQ(none.code, 0);
  EXPECT_EQ(none.out, "Kind\tSource\tLabel\tPath\n");

  TRun profiles = Cli({"stores", "--profile", xp, "--profile", w7});
  EXPECT_EQ(profiles.code, 0);
  const std::string xpIds = xp + "/Local Settings/Application Data/Identities/";
  const std::string w7Local = w7 + "/AppData/Local/Microsoft/";
  const std::vector<std::vector<std::string>> rows = {
      {"oe-identity", xp, "Main Identity",
       xpIds + "{1B2C3D4E-0000-0000-0000-000000000001}/Microsoft/Outlook Express/"},
      {"oe-identity", xp, "Work",
       xpIds + "{1B2C3D4E-0000-0000-0000-000000000002}/Microsoft/Outlook Express/"},
      {"thunderbird-root", xp, "Mail",
       xp + "/Application Data/Thunderbird/Profiles/k3j2.default/Mail/"},
      {"windows-mail", w7, "Windows Mail", w7Local + "Windows Mail/Local Folders"},
      {"windows-live-mail", w7, "Windows Live Mail",
       w7Local + "Windows Live Mail/Hotmail (bob)/Sub/"},
      {"thunderbird-root", w7, "Mail", w7 + "/AppData/Roaming/Thunderbird/Profiles/x9.work/Mail/"},
  };
  std::string expected = "Kind\tSource\tLabel\tPath\n";
  for (const auto& row : rows)
    expected += row[0] + "\t" + row[1] + "\t" + row[2] + "\t" + row[3] + "\n";
  EXPECT_EQ(profiles.out, expected);

  setenv("HOME", home.c_str(), 1);
  setenv("WINEPREFIX", wine.c_str(), 1);
  TRun json = Cli({"stores", "--json"});
  ASSERT_EQ(json.code, 0);
  auto stores = nlohmann::json::parse(json.out);
  ASSERT_EQ(stores.size(), 4u);
  EXPECT_EQ(stores[0]["Kind"], "thunderbird-root");
  EXPECT_EQ(stores[0]["Source"], "Linux");
  EXPECT_EQ(stores[1]["Source"], "Flatpak");
  EXPECT_EQ(stores[2]["Label"], "Carol \"C\" \xC3\x9Cnal");
  EXPECT_EQ(stores[3]["Kind"], "windows-live-mail");
  EXPECT_EQ(stores[3]["Path"],
            wine + "/drive_c/users/carol/AppData/Local/Microsoft/Windows Live Mail/");

  TRun missing = Cli({"stores", "--profile", dir / "gone"}, true);
  EXPECT_EQ(missing.code, 1);
  EXPECT_EQ(missing.out, "Folder " + (dir / "gone") + " does not exist.\n");
  EXPECT_EQ(Cli({"stores", "--profile"}).code, 2);
  EXPECT_EQ(Cli({"stores", "extra"}).code, 2);
}

TEST(Cli, ExportWritesFilesAndReportsSkippedMessages) {
  pellora::test::TTempDir dir;
  std::vector<pellora::test::TDbxTestMessage> messages(3);
  for (int i = 0; i < 3; ++i) {
    std::string n = std::to_string(i);
    messages[i] = {"Subject: m" + n + "\r\n\r\nFrom the body " + n + "\r\n", "m" + n, "Ann",
                   "ann@example.org"};
    messages[i].UnixTime = 1262595600 + i * 60; // 2010-01-04 10:00 in Prague, a minute apart
  }
  std::string dbx = dir.Write("Inbox.dbx", pellora::test::BuildDbx(messages));

  TRun run = Cli({"export", dbx, "--eml", dir / "eml"});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.out, dir / "eml/2010-01-04 1002 - m2.eml\n" + dir / "eml/2010-01-04 1001 - m1.eml\n" +
                         dir / "eml/2010-01-04 1000 - m0.eml\n");
  EXPECT_EQ(pellora::ReadWholeFile(dir / "eml/2010-01-04 1001 - m1.eml"),
            "Subject: m1\r\n\r\nFrom the body 1\r\n");
  // Nothing is replaced without --overwrite: exit 1, after the others.
  run = Cli({"export", "--index", "1", dbx, "--eml", dir / "eml"}, true);
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.out.find("2: File already exists"), std::string::npos) << run.out;
  run = Cli({"export", "--index", "1", dbx, "--eml", dir / "eml", "--overwrite"});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.out, dir / "eml/2010-01-04 1001 - m1.eml\n");

  run = Cli({"export", "--kind", "0", dbx, "--mbox", dir / "all.mbox", "--filter", "3", "m0"});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.out, dir / "all.mbox\n");
  // A database's CR LF lines are LF lines in a mailbox file.
  EXPECT_EQ(pellora::ReadWholeFile(dir / "all.mbox"),
            "From ann@example.org Mon Jan  4 10:00:00 2010\nSubject: m0\n\n>From the body 0\n\n");
  run = Cli({"export", dbx, "--mbox", dir / "all.mbox"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "");

  // A damaged record in the middle: the others are written, the row is named on stderr.
  messages[1].Text.clear();
  std::string damaged = dir.Write("Damaged.dbx", pellora::test::BuildDbx(messages));
  run = Cli({"export", damaged, "--eml", dir / "damaged"}, true);
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.out.find("2: No text found."), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("m2.eml"), std::string::npos);
  EXPECT_NE(run.out.find("m0.eml"), std::string::npos);

  struct {
    std::vector<std::string> args;
    int code;
  } usage[] = {
      {{"export", dbx}, 2},
      {{"export", dbx, "--eml", dir / "a", "--mbox", dir / "b"}, 2},
      {{"export", dbx, "--eml"}, 2},
      {{"export", dbx, "--eml", dir / "a", "--index", "x"}, 2},
      {{"export", dbx, "--eml", dir / "a", "--filter", "9", "x"}, 2},
      {{"export", dbx, "--eml", dir / "a", "--bogus"}, 2},
      {{"export", dbx, "--eml", dir / "a", "--index", "7"}, 1},
      {{"export", dir / "none.dbx", "--eml", dir / "a"}, 1},
  };
  for (const auto& u : usage) EXPECT_EQ(Cli(u.args).code, u.code) << u.args.back();
}

// A damaged database whose count word lists rows without text: a Source filter goes past them,
// prints the row that holds the value and exits 0, and says on stderr how many it could not read.
TEST(Cli, FilterGoesOnPastRowsWithoutText) {
  pellora::test::TTempDir dir;
  std::vector<pellora::test::TDbxTestMessage> messages(2);
  messages[0].Text = "Subject: one\r\n\r\nthe needle\r\n";
  messages[1].Text = "Subject: two\r\n\r\nhay\r\n";
  std::string bytes = pellora::test::BuildDbx(messages);
  pellora::test::PutU32(bytes, 0xC4, 5);
  TRun run = Cli({"filter", dir.Write("Damaged.dbx", bytes), "6", "NEEDLE"}, seApart);
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.out, "0\n");
  EXPECT_EQ(run.err, "Messages the filter could not read: 3\n");
}

// The done-when of the real database: 28 messages out as files and as one mailbox file, and
// Python's email parser reads the same subjects from both (when python3 is there).
TEST(Cli, ExportRealDatabase) {
  const std::string data = pellora::test::SharedDataDir();
  if (data.empty()) GTEST_SKIP() << "../shared/data is absent";
  const std::string dbx = data + "/dbx/test_OutlookDBX.dbx";
  pellora::test::TTempDir dir;
  TRun eml = Cli({"export", dbx, "--eml", dir / "eml"});
  ASSERT_EQ(eml.code, 0);
  TRun mbox = Cli({"export", dbx, "--mbox", dir / "all.mbox"});
  ASSERT_EQ(mbox.code, 0);
  EXPECT_EQ(std::count(eml.out.begin(), eml.out.end(), '\n'), 28);
  if (std::system("python3 -c 'import mailbox' >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "python3 not available";
  std::string script = dir.Write("check.py", R"(
import email, email.policy, glob, mailbox, sys
p = email.policy.default
box = mailbox.mbox(sys.argv[1], factory=lambda f: email.message_from_binary_file(f, policy=p))
from_box = sorted(str(m['subject']) for m in box)
files = glob.glob(sys.argv[2] + '/*.eml')
from_files = sorted(str(email.message_from_bytes(open(f, 'rb').read(), policy=p)['subject']) for f in files)
sys.exit(0 if len(from_box) == 28 and from_box == from_files else 1)
)");
  EXPECT_EQ(std::system(("python3 " + ShellQuote(script) + " " + ShellQuote(dir / "all.mbox") + " " +
                         ShellQuote(dir / "eml")).c_str()),
            0);
}

// PDFs and the list as CSV from the command line, with no display: one PDF per message named as
// the .eml export names them, one PDF of all with a page and a bookmark each in list order, a
// damaged record named and skipped (stderr says that alone); files never replaced unasked.
TEST(Cli, ExportPdfAndCsv) {
  pellora::test::TTempDir dir;
  std::vector<pellora::test::TDbxTestMessage> messages(3);
  for (int i = 0; i < 3; ++i) {
    std::string n = std::to_string(i);
    const std::string head = "From: Ann <ann@example.org>\r\nSubject: m" + n +
                             "\r\nDate: Mon, 04 Jan 2010 10:0" + n + ":00 +0100\r\n";
    messages[i] = {head + "\r\nplain body " + n + "\r\n", "m" + n, "Ann", "ann@example.org"};
    messages[i].UnixTime = 1262595600 + i * 60; // 2010-01-04 10:00 in Prague, a minute apart
  }
  messages[2].Text = "From: Ann <ann@example.org>\r\nSubject: m2\r\nDate: Mon, 04 Jan 2010 10:02:00 "
                     "+0100\r\nMIME-Version: 1.0\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
                     "<p>Hello <b>HTML</b> world</p>\r\n";
  messages[1].Text.clear(); // a record without text
  const std::string dbx = dir.Write("Inbox.dbx", pellora::test::BuildDbx(messages));
  pellora::test::TScopedEnv noDisplay("DISPLAY", nullptr), noWayland("WAYLAND_DISPLAY", nullptr),
      noPlatform("QT_QPA_PLATFORM", nullptr);

  TRun run = Cli({"export", dbx, "--csv", dir / "list.csv", "--filter", "3", "m"});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.out, dir / "list.csv\n");
  const std::string csv = pellora::ReadWholeFile(dir / "list.csv");
  EXPECT_TRUE(csv.starts_with("Number,From,Subject,To,Date,Size,Flags,Attachment\r\n3,ann@example.org,m2,"))
      << csv;
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4);

#ifndef PELLORA_CLI_PDF
  GTEST_SKIP() << "pellora-cli is built without the viewer: no PDFs";
#endif
  run = Cli({"export", dbx, "--pdf", dir / "pdf"}, seApart);
  EXPECT_EQ(run.code, 1);
  const std::string m2 = dir / "pdf/2010-01-04 1002 - m2.pdf", m0 = dir / "pdf/2010-01-04 1000 - m0.pdf";
  EXPECT_EQ(run.out, m2 + "\n" + m0 + "\n");
  EXPECT_EQ(run.err, "2: No text found.\n"); // and nothing of the web engine's set-up
  const std::string html = pellora::test::PopplerText(m2, "-raw");
  for (const char* word : {"m2", "Ann <ann@example.org>", "Hello HTML world"})
    EXPECT_NE(html.find(word), std::string::npos) << word << " in " << html;
  EXPECT_NE(pellora::test::PopplerText(m0, "-raw").find("plain body 0"), std::string::npos);

  run = Cli({"export", dbx, "--pdf-one", dir / "all.pdf"}, seApart);
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, dir / "all.pdf\n");
  EXPECT_EQ(run.err, "2: No text found.\n"); // and nothing of the web engine's set-up
  EXPECT_EQ(pellora::test::PopplerPages(dir / "all.pdf"), 2);
  EXPECT_EQ(pellora::test::PopplerOutline(dir / "all.pdf"),
            (std::vector<std::string>{"1 2010-01-04 10:02, Ann, m2", "2 2010-01-04 10:00, Ann, m0"}));

  for (const char* option : {"--pdf-one", "--csv"}) {
    const std::string kept = dir.Write(std::string("kept") + option, "mine");
    EXPECT_EQ(Cli({"export", dbx, option, kept}).code, 1) << option;
    EXPECT_EQ(pellora::ReadWholeFile(kept), "mine") << option;
  }
  EXPECT_EQ(Cli({"export", dbx, "--pdf"}).code, 2);
  EXPECT_EQ(Cli({"export", dbx, "--pdf-one", dir / "a.pdf", "--csv", dir / "a.csv"}).code, 2);
}

// An Outlook personal folder file: every item with its folder and kind, a folder's rows alone,
// and its mail out as .eml files that another reader reads.
TEST(Cli, PersonalFolderFile) {
  const std::string data = pellora::test::SharedDataDir();
  if (data.empty()) GTEST_SKIP() << "../shared/data is absent";
  const std::string pst = data + "/pst/test_sample.pst";
  TRun list = Cli({"list", pst});
  ASSERT_EQ(list.code, 0);
  EXPECT_EQ(list.out.substr(0, list.out.find('\n')),
            "#\tFolder\tKind\tFrom\tSubject\tTo\tReceived\tSize\tPriority\tFlags");
  EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 1 + 13);
  EXPECT_NE(list.out.find("\tappointment\t"), std::string::npos);
  EXPECT_NE(list.out.find("\ttask\t"), std::string::npos);
  const std::string inbox = "In\xC3\xAD" "cio de Pastas Particulares/Caixa de Entrada";
  TRun folder = Cli({"list", "--json", "--folder", inbox, pst});
  ASSERT_EQ(folder.code, 0);
  const auto rows = nlohmann::json::parse(folder.out);
  ASSERT_EQ(rows.size(), 3u);
  for (const auto& row : rows) {
    EXPECT_EQ(row["Folder"], inbox);
    EXPECT_EQ(row["Kind"], "mail");
  }
  EXPECT_EQ(Cli({"list", "--folder", "x", samples + "/Archive.dbx"}).code, 2) << "no folders there";

  pellora::test::TTempDir dir;
  TRun eml = Cli({"export", pst, "--eml", dir / "eml"});
  ASSERT_EQ(eml.code, 0);
  EXPECT_EQ(std::count(eml.out.begin(), eml.out.end(), '\n'), 13);
  if (std::system("python3 -c 'import email' >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "python3 not available";
  std::string script = dir.Write("check.py", R"(
import email, email.policy, glob, sys
names = []
for f in glob.glob(sys.argv[1] + '/*.eml'):
    m = email.message_from_bytes(open(f, 'rb').read(), policy=email.policy.default)
    names += [a.get_filename() for a in m.iter_attachments()]
    m.get_body(('html', 'plain'))
sys.exit(0 if 'lionel-animals-to-follow-on-instagram-1568319926.jpg' in names else 1)
)");
  EXPECT_EQ(std::system(("python3 " + ShellQuote(script) + " " + ShellQuote(dir / "eml")).c_str()), 0);
}
