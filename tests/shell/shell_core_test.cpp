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
