#include "discovery/prefs_js.h"
#include "platform/pellora_error.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace pellora;
using pellora::test::TTempDir;

TEST(PrefsJS, LinesToEntries) {
  struct Case {
    const char* line;
    const char* name;
    const char* value;
  } cases[] = {
      // Backslashes stay doubled, quotes go.
      {"user_pref(\"mail.root.none\", \"C:\\\\Users\\\\user1\\\\Mail\");", "mail.root.none",
       "C:\\\\Users\\\\user1\\\\Mail"},
      {"user_pref(\"mail.check_time\", 10);", "mail.check_time", "10"},
      {"user_pref(\"mail.flag\", true);", "mail.flag", "true"},
      {"user_pref(\"list\", \"a,b\");", "list", "a,b"},    // a comma inside the value stays
      {"user_pref(\"a,b\", \"v\");", "\"a", "b\", \"v\""}, // a comma in the name cuts it
      {" \t user_pref(\"x\", 1);  ", "x", "1"},            // indented
      {"USER_PREF(\"x\", 1);", "x", "1"},                  // capitals
      {"user_pref(\"x\");", "", "user_pref(\"x\""},        // no comma: no name
      {"user_pref(\"x\",);", "x", ""},                     // value shorter than two
      {"user_pref(x, \"y\");", "x", "y"},                  // an unquoted name
      {"user_pref(\"utf8\", \"J\xC3\xB6rg\");", "utf8", "J\xC3\xB6rg"}, // bytes as they are
  };
  for (const auto& c : cases) {
    TPrefsJS prefs;
    prefs.LoadFromText(c.line);
    ASSERT_EQ(prefs.Prefs().size(), 1u) << c.line;
    EXPECT_EQ(prefs.Prefs()[0].Name, c.name) << c.line;
    EXPECT_EQ(prefs.Prefs()[0].Value, c.value) << c.line;
  }

  const char* skipped[] = {"", "// user_pref(\"x\", 1);", "pref(\"x\", 1);", "   ", "# x"};
  for (const char* line : skipped) {
    TPrefsJS prefs;
    prefs.LoadFromText(line);
    EXPECT_TRUE(prefs.Prefs().empty()) << line;
  }
}

TEST(PrefsJS, ValueIsCutAfter1024Characters) {
  TPrefsJS prefs;
  std::string value(1100, 'v');
  prefs.LoadFromText("user_pref(\"long\", \"" + value + "\");");
  // 1,024 characters after the comma: a blank, the quote, 1,022 characters; then the last two go.
  EXPECT_EQ(prefs.Prefs()[0].Value, "\"" + std::string(1020, 'v'));
  // The file is UTF-8: characters, not bytes, and none of them split.
  std::string wide;
  for (int i = 0; i < 1100; ++i)
    wide += "\xC3\xA9";
  prefs.LoadFromText("user_pref(\"wide\", \"" + wide + "\");");
  EXPECT_EQ(prefs.Prefs()[1].Value, "\"" + wide.substr(0, 2 * 1020));
}

TEST(PrefsJS, FileLoadingAndLookUp) {
  TTempDir dir;
  std::string file = dir.Write("prefs.js", "// Mozilla User Preferences\r\n\r\n"
                                           "user_pref(\"mail.root.none\", \"first\");\r"
                                           "user_pref(\"MAIL.root.none\", \"second\");\n"
                                           "user_pref(\"other\", 3);\r\n");
  TPrefsJS prefs;
  prefs.LoadFromFile(file);
  EXPECT_EQ(prefs.FileName(), file);
  EXPECT_EQ(prefs.Prefs().size(), 3u);
  EXPECT_EQ(prefs.FindPref("mail.root.none").Value, "first");
  EXPECT_EQ(prefs.FindPref("MAIL.ROOT.NONE").Name, "mail.root.none");
  TUserPref none = prefs.FindPref("absent");
  EXPECT_EQ(none.Name, "");
  EXPECT_EQ(none.Value, "");

  // A second load adds to what is held.
  prefs.LoadFromFile(dir.Write("user.js", "user_pref(\"added\", 1);\n"));
  EXPECT_EQ(prefs.Prefs().size(), 4u);
  prefs.LoadFromFile(dir.Write("empty.js", ""));
  EXPECT_EQ(prefs.Prefs().size(), 4u);

  try {
    prefs.LoadFromFile(dir / "missing.js");
    ADD_FAILURE() << "no error";
  } catch (const EPelloraError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot open file \"" + dir / "missing.js" + "\". No such file or directory");
  }
  EXPECT_EQ(prefs.Prefs().size(), 4u);
}
