#include "i18n/language_manager.h"
#include "shell/message_box_texts.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace pellora;

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
