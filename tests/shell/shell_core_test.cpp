#include "shell/localized_text.h"
#include "shell/open_kind.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace pellora;

TEST(Shell, KindOfPath) {
  pellora::test::TTempDir dir;
  std::string folder = dir.MakeDir("Mail.box");
  std::string dotted = dir.MakeDir("store.d");
  struct Case { std::string path; TOpenKind kind; } cases[] = {
      {"/m/Inbox.dbx", okOEDatabase},   {"/m/Inbox.DBX", okOEDatabase},
      {"/m/Inbox.Mbx", okOEDatabase},   {"/m/a.eml", okMessageFile},
      {"/m/a.EML", okMessageFile},      {folder + "/Inbox", okMailboxFile},
      {folder, okMessageFolder},        {dotted, okMessageFolder},
      {"/m/notes.txt", okUnknown},      {"/m/Inbox", okMailboxFile},
      {dir.MakeDir("x.eml"), okMessageFile}, // the extension wins over being a folder
  };
  for (const auto& c : cases) EXPECT_EQ(KindOfPath(c.path), c.kind) << c.path;
}

TEST(Shell, LocalizedTexts) {
  ResetLocalizedTexts();
  EXPECT_EQ(GetLocalizedText("lc_Error"), "Error");
  EXPECT_EQ(GetLocalizedText("LC_ERROR"), "Error");
  EXPECT_EQ(GetLocalizedText("lc_NoSuchName"), "");
  EXPECT_EQ(GetLocalizedText("lc_ElapsedTime"), "Elapsed time: %1.2f s");
  ASSERT_TRUE(SetLocalizedText("lc_Warning", "First/nsecond/Nthird"));
  EXPECT_EQ(GetLocalizedText("lc_Warning"), "First\r\nsecond\r\nthird");
  ASSERT_TRUE(SetLocalizedText("lc_Error", "Chyba \xC5\x99")); // UTF-8 in, code page out
  EXPECT_EQ(GetLocalizedText("lc_Error"), "Chyba ?");
  EXPECT_FALSE(SetLocalizedText("lc_Nothing", "x"));

  SetLocalizedText("lc_Error", "Fehler");
  UpdateMessageBoxCaptions();
  EXPECT_EQ(MessageBoxCaptions().error, "Fehler");
  EXPECT_EQ(MessageBoxCaptions().confirmation, "Confirmation");
  ResetLocalizedTexts();
  EXPECT_EQ(LocalizedConstants().size(), 38u);
}

TEST(Shell, ErrorReportFullStop) {
  struct Case { const char* in; const char* out; } cases[] = {
      {"Disk full", "Disk full."}, {"Code 42", "Code 42."}, {"Really?", "Really?."},
      {"Done.", "Done."},          {"(see log)", "(see log)"}, {"Stop!", "Stop!"},
      {"", ""},                    {"trailing space ", "trailing space "},
      {"Caf\xE9", "Caf\xE9."},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorReportText(c.in), c.out) << c.in;
}

TEST(Shell, FormatText) {
  EXPECT_EQ(FormatText("File %s does not exist.", {"/m/a.eml"}), "File /m/a.eml does not exist.");
  EXPECT_EQ(FormatText("Elapsed time: %1.2f s", {1234 / 1000.0}), "Elapsed time: 1.23 s");
  EXPECT_EQ(FormatText("%1.0n B", {12345}), "12,345 B");
  EXPECT_EQ(FormatText("%1.0n B", {1234567890123LL}), "1,234,567,890,123 B");
  EXPECT_EQ(FormatText("%1.0n B", {999}), "999 B");
  EXPECT_EQ(FormatText("%d attachments from %d messages saved to %s.", {3, 2, "/tmp"}),
            "3 attachments from 2 messages saved to /tmp.");
  EXPECT_EQ(FormatText("%s: %d", {"Inbox", 4}), "Inbox: 4");
  EXPECT_EQ(FormatText("100%% of %s", {}), "100% of ");
  SetThousandSeparator("\xA0");
  EXPECT_EQ(FormatText("%1.0n", {-1234567}), "-1\xA0" "234\xA0" "567");
  SetThousandSeparator(",");
}
