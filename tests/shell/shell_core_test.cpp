#include "i18n/language_manager.h"
#include "shell/message_box_texts.h"
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

TEST(Shell, MessageBoxCaptionsFollowTheConstants) {
  TLanguageManager& manager = TLanguageManager::Instance();
  pellora::test::TTempDir dir;
  manager.AddLanguageFile(dir.Write("de.lng", "LANGID=1031\n[$CONSTANTS]\nlc_Error=Fehler\n"));
  manager.SelectLanguage(1031);
  UpdateMessageBoxCaptions();
  EXPECT_EQ(MessageBoxCaptions().error, "Fehler");
  EXPECT_EQ(MessageBoxCaptions().confirmation, "Confirmation");
  manager.SelectLanguage(LangEnglishUS);
  UpdateMessageBoxCaptions();
  EXPECT_EQ(MessageBoxCaptions().error, "Error");
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
