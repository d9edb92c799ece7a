#include "i18n/constant_block.h"
#include "i18n/format_text.h"
#include "i18n/language_file.h"
#include "i18n/language_manager.h"
#include "i18n/language_setup.h"
#include "i18n/localized_text.h"
#include "platform/pellora_error.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace pellora;
using pellora::test::TTempDir;

namespace {

std::string ErrorOf(std::string_view bytes) {
  try {
    ParseLanguageFile(bytes);
  } catch (const EPelloraError& e) {
    return e.what();
  }
  return "(none)";
}

// A window whose texts are kept in a map, as a window's controls would hold them.
class TFakeController : public TLanguageController {
public:
  explicit TFakeController(const std::string& section) : TLanguageController(section) {
    for (const auto& text : TranslatableTexts(section)) {
      FEntries.push_back({text, "built-in " + std::to_string(text.id)});
      texts[text.id] = FEntries.back().builtIn;
    }
  }
  std::map<int, std::string> texts;
  int changes = 0;

protected:
  bool WriteText(const TEntry& entry, const std::string& text) override {
    texts[entry.text.id] = text;
    return true;
  }
  void LanguageChanged() override { ++changes; }
};

} // namespace

TEST(ConstantBlock, BuiltInTableReadsBackAndRoundTrips) {
  auto records = ReadConstantBlock(BuiltInConstantBlock());
  ASSERT_EQ(records.size(), 64u);
  EXPECT_EQ(records[0].name, "lc_AttSaved");
  EXPECT_EQ(records[0].text, "%d {attachment|attachments} from %d {message|messages} saved to %s.");
  EXPECT_EQ(BuiltInConstantBlock()[0], '\x02'); // version 2: UTF-16 texts

  std::vector<TConstantRecord> own = {{"lc_A", "Stra\xC3\x9F"
                                               "e \xD0\x96"},
                                      {"lc_Empty", ""}};
  auto back = ReadConstantBlock(WriteConstantBlock(own));
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].text, own[0].text);
  EXPECT_EQ(back[1].text, "");
}

TEST(ConstantBlock, OlderVersionsHold8BitTextAndLaterOnesAreRefused) {
  // Versions 0 and 1: no flags byte, the text in 8-bit characters of the default language.
  std::string v1("\x01\x01\x00\x00\x00\x04\x00lc_X\x04\x00"
                 "Caf\xE9",
                 17);
  auto records = ReadConstantBlock(v1, 1252);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].name, "lc_X");
  EXPECT_EQ(records[0].text, "Caf\xC3\xA9");
  v1[0] = 0;
  EXPECT_EQ(ReadConstantBlock(v1, 1252)[0].text, "Caf\xC3\xA9");

  struct Case {
    std::string block;
    std::string error;
  } cases[] = {
      {std::string("\x03\x00\x00\x00\x00\x00", 6),
       "Stream version (3) is greater than the current one (2)"},
      {std::string("\x02\x00\x05\x00\x00\x00", 6), "Stream read error"}, // count beyond the data
      {std::string("\x02\x00\x01\x00\x00\x00\x09\x00lc", 10),
       "Stream read error"}, // name cut short
      {"", "Stream read error"},
  };
  for (const auto& c : cases) {
    try {
      ReadConstantBlock(c.block);
      ADD_FAILURE() << "no error for " << c.error;
    } catch (const EPelloraError& e) {
      EXPECT_EQ(std::string(e.what()), c.error);
    }
  }
}

TEST(FormatText, FillsTheProgramsFormats) {
  EXPECT_EQ(FormatText("File %s does not exist.", {"/m/a.eml"}), "File /m/a.eml does not exist.");
  EXPECT_EQ(FormatText("Elapsed time: %1.2f s", {1234 / 1000.0}), "Elapsed time: 1.23 s");
  EXPECT_EQ(FormatText("%1.0n B", {12345}), "12,345 B");
  EXPECT_EQ(FormatText("%1.0n B", {1234567890123LL}), "1,234,567,890,123 B");
  EXPECT_EQ(FormatText("%1.0n B", {999}), "999 B");
  EXPECT_EQ(FormatText("%d attachments from %d messages saved to %s.", {3, 2, "/tmp"}),
            "3 attachments from 2 messages saved to /tmp.");
  EXPECT_EQ(FormatText("%s: %d", {"Inbox", 4}), "Inbox: 4");
  EXPECT_EQ(FormatText("100%% of %s", {}), "100% of ");
  // A translation with more directives than arguments, or a silly precision, reads nothing more.
  EXPECT_EQ(FormatText("%s %s %d", {"one"}), "one  ");
  EXPECT_EQ(FormatText("%1.99999999999f", {0.5}).substr(0, 4), "0.50");
  EXPECT_EQ(FormatText("%s <%s>", {"", ""}), " <>");
  SetThousandSeparator("\xA0");
  EXPECT_EQ(FormatText("%1.0n", {-1234567}), "-1\xA0"
                                             "234\xA0"
                                             "567");
  SetThousandSeparator(",");
}

// Counts take the plural form of the language: one, few or many ("{one|few|many}"), or one and
// many ("{one|many}").
TEST(FormatText, PluralForms) {
  struct {
    uint16_t language;
    const char* format;
    long long count;
    const char* text;
  } cases[] = {
      {1033, "%d {line|lines}", 1, "1 line"},
      {1033, "%d {line|lines}", 0, "0 lines"},
      {1033, "%d {line|lines}", 21, "21 lines"},
      {1031, "%d {Zeile|Zeilen}", 1, "1 Zeile"},
      {1031, "%d {Zeile|Zeilen}", 3, "3 Zeilen"},
      {1049, "%d {a|b|c}", 1, "1 a"},
      {1049, "%d {a|b|c}", 3, "3 b"},
      {1049, "%d {a|b|c}", 5, "5 c"},
      {1049, "%d {a|b|c}", 11, "11 c"},
      {1049, "%d {a|b|c}", 12, "12 c"},
      {1049, "%d {a|b|c}", 21, "21 a"},
      {1049, "%d {a|b|c}", 22, "22 b"},
      {1049, "%d {a|b|c}", 111, "111 c"},
      {1049, "%d {a|b|c}", 0, "0 c"},
      {1049, "%d {a|b}", 3, "3 b"},       // two forms: a few takes the many form
      {1045, "%d {a|b|c}", 1, "1 a"},     // Polish: one is 1 alone
      {1045, "%d {a|b|c}", 21, "21 c"},
      {1045, "%d {a|b|c}", 24, "24 b"},
      {1029, "%d {a|b|c}", 4, "4 b"},     // Czech
      {1029, "%d {a|b|c}", 24, "24 c"},
      {1033, "{one|all}: %d", 1, "one: 1"}, // before any number, the first one counts
      {1033, "{x} %d {y", 2, "{x} 2 {y"}, // braces without forms stay as written
  };
  for (const auto& c : cases) {
    SetPluralLanguage(c.language);
    EXPECT_EQ(FormatText(c.format, {c.count}), c.text) << c.language << " " << c.format << " " << c.count;
  }
  SetPluralLanguage(1033);
  // Each group follows the count before it.
  EXPECT_EQ(FormatText("%d {attachment|attachments} from %d {message|messages} saved to %s.", {1, 3, "/tmp"}),
            "1 attachment from 3 messages saved to /tmp.");
}

TEST(LanguageFile, UnescapesValues) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {R"(Zeile 1\nZeile 2)", "Zeile 1\r\nZeile 2"},
      {R"(C:\\Temp)", "C:\\Temp"},
      {R"(\65)", "A"},
      {R"(\x)", "\\x"},
      {R"(a\tb)", "a\tb"},
      {R"(\\n)", "\\n"},
      {R"(\6)", "\\6"},
      {R"(\6x)", "\\6x"},
      {R"(\123)", "\x0C"
                  "3"},
      {R"(end\)", "end\\"},
      {R"(\N)", "\\N"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(UnescapeLanguageText(c.in), c.out) << c.in;
}

TEST(LanguageFile, ReadsHeaderConstantsAndSections) {
  TLanguageFile file = ParseLanguageFile("; a comment\r\n"
                                         "  LANGID = 1031 \r\n"
                                         "Name=Deutsch\n"
                                         "Name=Deutsch (Deutschland)\n"
                                         "no equals sign\n"
                                         "=no key\n"
                                         "[$constants]\r"
                                         "lc_Error=Fehler\r"
                                         "  lc_Lines = Zeilen  \n"
                                         "[ mdi_pl_Msg ]\n"
                                         "00000052=Filter:\n"
                                         "abc=Text\n"
                                         "0=Null\n"
                                         "-3=Minus\n"
                                         "[]\n"
                                         "46=Betreff:\n"
                                         "[wnd_pl_Main]\n"
                                         "1=Pellora\n"
                                         "[MDI_PL_MSG]\n"
                                         "47=Von:\n");
  EXPECT_EQ(file.langId, 1031);
  EXPECT_EQ(file.header.at("NAME"), "Deutsch (Deutschland)"); // a later key replaces
  EXPECT_EQ(file.constants.at("LC_ERROR"), "Fehler");
  EXPECT_EQ(file.constants.at("LC_LINES"), "Zeilen");
  ASSERT_NE(file.Text("mdi_pl_Msg", 52), nullptr);
  EXPECT_EQ(*file.Text("mdi_pl_Msg", 52), "Filter:");
  EXPECT_EQ(*file.Text("mdi_pl_msg", 46), "Betreff:");
  EXPECT_EQ(*file.Text("mdi_pl_Msg", 47), "Von:"); // a repeated section adds to the first
  EXPECT_EQ(file.sections.at("MDI_PL_MSG").size(), 3u);
  EXPECT_EQ(*file.Text("wnd_pl_Main", 1), "Pellora");
  EXPECT_EQ(file.Text("wnd_pl_Main", 2), nullptr);
  EXPECT_EQ(file.Text("dlg_pl_Files", 1), nullptr);

  TLanguageFile header = ParseLanguageFile("LANGID=1049\n[$CONSTANTS]\nlc_Error=x\n", true);
  EXPECT_EQ(header.langId, 1049);
  EXPECT_TRUE(header.constants.empty());
}

TEST(LanguageFile, FailuresNameTheLine) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"LANGID=1031\n[mdi_pl_Msg]\n00000052=A\n52=B\n",
       "Loading translations failed.\r\nLine 3: Duplicate property value translation ID (52)"},
      {"LANGID=1031\n[mdi_pl_Msg]\n52=A\n[wnd_pl_Main]\n52=ok\n[MDI_PL_MSG]\n52=B\n",
       "Loading translations failed.\r\nLine 6: Duplicate property value translation ID (52)"},
      {"LANGID=1031\n;x\n\n[$CONSTANTS]\n1lc=x\n",
       "Loading translations failed.\r\nLine 4: Invalid constant name (\"1lc\")"},
      {"[$CONSTANTS]\nlc-x=x\n",
       "Loading translations failed.\r\nLine 1: Invalid constant name (\"lc-x\")"},
      {"[$CONSTANTS]\nlc_Error=a\nLC_ERROR=b\n",
       "Loading translations failed.\r\nLine 2: Duplicate constant name (\"LC_ERROR\")"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ErrorOf(c.text), c.error) << c.text;
}

TEST(LanguageFile, EncodingsByByteOrderMarkOrLanguage) {
  // Without a mark the file is in the code page of the language it names.
  EXPECT_EQ(ParseLanguageFile("LANGID=1049\n[$CONSTANTS]\nlc_Error=\xCE\xF8\xE8\xE1\xEA\xE0\n")
                .constants.at("LC_ERROR"),
            "\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0"); // Ошибка
  EXPECT_EQ(ParseLanguageFile("LANGID=1031\n[$CONSTANTS]\nlc_Lines=Zeilen \xE4\n")
                .constants.at("LC_LINES"),
            "Zeilen \xC3\xA4");
  EXPECT_EQ(ParseLanguageFile("\xEF\xBB\xBFLANGID=1049\n[$CONSTANTS]\nlc_Error=\xD0\x9E\n")
                .constants.at("LC_ERROR"),
            "\xD0\x9E");
  std::string utf16le("\xFF\xFE", 2), utf16be("\xFE\xFF", 2);
  for (char c : std::string("LANGID=1049\r\n[$CONSTANTS]\r\nlc_Error=")) {
    utf16le += c, utf16le += '\0';
    utf16be += '\0', utf16be += c;
  }
  utf16le += std::string("\x1E\x04\r\0\n\0", 6); // О
  utf16be += std::string("\x04\x1E\0\r\0\n", 6);
  for (const std::string& bytes : {utf16le, utf16be}) {
    TLanguageFile file = ParseLanguageFile(bytes);
    EXPECT_EQ(file.langId, 1049);
    EXPECT_EQ(file.constants.at("LC_ERROR"), "\xD0\x9E");
  }
}

TEST(LanguageIds, LocaleNamesAndTheUsersLanguage) {
  struct Case {
    const char* locale;
    int id;
  } cases[] = {
      {"de_DE.UTF-8", 1031}, {"en_GB", 2057}, {"ru_RU.UTF-8", 1049}, {"en_US.UTF-8", 1033},
      {"C", 1033},           {"POSIX", 1033}, {"C.UTF-8", 1033},     {"", 1033},
      {"de_AT.UTF-8", 3079}, {"pt_BR", 1046}, {"cs_CZ.UTF-8", 1029}, {"fr", 1036},
      {"es_ES.UTF-8", 3082}, {"xx_YY", 1033}, {"de_DE@euro", 1031},  {"uk_UA.KOI8-U", 1058},
  };
  for (const auto& c : cases)
    EXPECT_EQ(LanguageIdOfLocaleName(c.locale), c.id) << c.locale;
  EXPECT_EQ(CodePageOfLanguage(1049), 1251);
  EXPECT_EQ(CodePageOfLanguage(1031), 1252);
  EXPECT_EQ(CodePageOfLanguage(1029), 1250);

  setenv("LC_MESSAGES", "ru_RU.UTF-8", 1);
  unsetenv("PELLORA_LANGUAGE");
  EXPECT_EQ(UserLanguageId(), 1033); // LC_ALL (C.UTF-8, set by the tests' main) comes first
  unsetenv("LC_ALL");
  EXPECT_EQ(UserLanguageId(), 1049);
  setenv("PELLORA_LANGUAGE", "1031", 1);
  EXPECT_EQ(UserLanguageId(), 1031);
  unsetenv("PELLORA_LANGUAGE");
  unsetenv("LC_MESSAGES");
  setenv("LC_ALL", "C.UTF-8", 1);
}

TEST(LanguageManager, RegistersLanguageFiles) {
  TTempDir dir;
  dir.Write("a.lng", "LANGID=1031\nName=first\n");
  dir.Write("b.lng", "LANGID=1031\nName=second\n"); // the same language, found last
  dir.Write("c.lng", "Name=no language\n");
  dir.Write("d.lng", "LANGID=1033\n"); // the built-in language
  dir.Write("e.lng", "LANGID=abc\n");
  dir.Write("f.txt", "LANGID=1049\n"); // not matching the mask
  dir.Write("sub/g.lng", "LANGID=1049\n");
  dir.Write(".hidden/h.lng", "LANGID=1036\n");
  dir.MakeDir("folder.lng");

  TLanguageManager manager;
  EXPECT_EQ(manager.FindLanguageFiles(dir.Path(), "*.lng", false), 3); // a, b, d
  EXPECT_EQ(manager.LanguageCount(), 2);
  EXPECT_EQ(manager.LanguageAt(0), 1033);
  EXPECT_EQ(manager.LanguageAt(1), 1031);
  EXPECT_EQ(manager.LanguageFileAt(1), dir / "b.lng");
  EXPECT_FALSE(manager.AddLanguageFile(dir / "missing.lng"));
  EXPECT_FALSE(manager.AddLanguageFile(dir / "folder.lng"));

  TLanguageManager descending;
  EXPECT_EQ(descending.FindLanguageFiles(dir.Path(), "*.lng", true), 4); // and sub/g.lng
  EXPECT_EQ(descending.LanguageCount(), 3);
  EXPECT_EQ(descending.LanguageAt(2), 1049);
}

TEST(LanguageManager, SelectsLanguagesForConstantsAndWindows) {
  TTempDir dir;
  TLanguageManager manager;
  manager.AddLanguageFile(dir.Write("de.lng", "LANGID=1031\n[$CONSTANTS]\nlc_Error=Fehler\n"
                                              "lc_Lines=Zeilen\nlc_Unknown=x\n"
                                              "[mdi_pl_Viewer]\n52=Filter:\n75=Information\n"));
  manager.AddLanguageFile(
      dir.Write("ru.lng", "\xEF\xBB\xBFLANGID=1049\n[$CONSTANTS]\nlc_Error=\xD0\x9E\n"));
  std::string broken = dir.Write("fr.lng", "LANGID=1036\n[$CONSTANTS]\nlc_Error=a\nlc_Error=b\n");
  manager.AddLanguageFile(broken);

  TFakeController viewer("mdi_pl_Viewer"), message("mdi_pl_Msg");
  viewer.Attach(manager);
  message.Attach(manager);
  EXPECT_EQ(viewer.changes, 0); // the built-in language is not applied at creation

  manager.SelectLanguage(1031);
  EXPECT_EQ(manager.CurrentLanguage(), 1031);
  EXPECT_EQ(manager.ConstantText("LC_ERROR"), "Fehler");
  EXPECT_EQ(viewer.texts[52], "Filter:");
  EXPECT_EQ(viewer.texts[75], "Information");
  EXPECT_EQ(viewer.texts[77], "built-in 77");  // not in the file
  EXPECT_EQ(message.texts[46], "built-in 46"); // no section for the window
  EXPECT_EQ(viewer.changes, 1);
  EXPECT_EQ(message.changes, 1);
  manager.SelectLanguage(1031); // the current one: nothing happens
  EXPECT_EQ(viewer.changes, 1);

  {
    TFakeController later("mdi_pl_Viewer"); // made while German is current
    later.Attach(manager);
    EXPECT_EQ(later.texts[52], "Filter:");
    EXPECT_EQ(later.changes, 1);
  }

  // A file that fails changes nothing.
  EXPECT_THROW(manager.SelectLanguage(1036), EPelloraError);
  EXPECT_EQ(manager.CurrentLanguage(), 1031);
  EXPECT_EQ(manager.ConstantText("lc_Error"), "Fehler");

  // Constants the next file lacks keep their current text; windows go back to built-in texts.
  manager.SelectLanguage(1049);
  EXPECT_EQ(manager.ConstantText("lc_Error"), "\xD0\x9E");
  EXPECT_EQ(manager.ConstantText("lc_Lines"), "Zeilen");
  EXPECT_EQ(viewer.texts[52], "built-in 52");
  EXPECT_EQ(manager.CurrentCodePage(), 1251);

  manager.SelectLanguage(9999); // not registered: back to the default language
  EXPECT_EQ(manager.CurrentLanguage(), 1033);
  EXPECT_EQ(manager.ConstantText("lc_Lines"), "lines");
  EXPECT_EQ(manager.ConstantText("lc_Error"), "Error");
  EXPECT_EQ(viewer.changes, 3);
  EXPECT_THROW(manager.ConstantText("lc_Nothing"), EPelloraError);
}

TEST(LanguageManager, StartUpSelection) {
  TTempDir dir;
  std::string german = dir.MakeDir("german"), english = dir.MakeDir("english"),
              none = dir.MakeDir("none");
  dir.Write("german/de.lng", "LANGID=1031\n[$CONSTANTS]\nlc_Error=Fehler\n");
  dir.Write("english/en.lng", "LANGID=1033\n[$CONSTANTS]\nlc_Error=Mistake\n");
  struct Case {
    std::string folder;
    TLanguageId user;
    TLanguageId selected;
  } cases[] = {
      {german, 1031, 1031},  {german, 3079, 1031}, // Austrian German finds the German file
      {german, 1049, 1033},  {german, 2057, 1033},
      {english, 2057, 1033}, // a 1033 file is accepted but not registered
      {english, 1033, 1033}, {none, 2057, 1033},
  };
  for (const auto& c : cases) {
    TLanguageManager manager;
    StartLanguages(manager, {c.folder}, c.user);
    EXPECT_EQ(manager.CurrentLanguage(), c.selected) << c.folder << " " << c.user;
    EXPECT_EQ(manager.ConstantText("lc_Error"), c.selected == 1031 ? "Fehler" : "Error");
  }
}

TEST(LanguageManager, LocalizedTextOfTheProcess) {
  TTempDir dir;
  TLanguageManager& manager = TLanguageManager::Instance();
  manager.AddLanguageFile(dir.Write("x.lng", "\xEF\xBB\xBFLANGID=1032\n[$CONSTANTS]\n"
                                             "lc_Warning=First/nsecond/Nthird\n"
                                             "lc_Error=Chyba \xC5\x99\n"));
  EXPECT_EQ(GetLocalizedText("lc_Error"), "Error");
  EXPECT_EQ(GetLocalizedText("LC_ERROR"), "Error");
  EXPECT_EQ(GetLocalizedText("lc_NoSuchName"), "");
  EXPECT_EQ(GetLocalizedText("lc_ElapsedTime"), "Elapsed time: %1.2f s");
  manager.SelectLanguage(1032);
  EXPECT_EQ(GetLocalizedText("lc_Warning"), "First\r\nsecond\r\nthird");
  EXPECT_EQ(GetLocalizedText("lc_Error"), "Chyba ?"); // UTF-8 in, the code page (1252) out
  manager.SelectLanguage(LangEnglishUS);
  EXPECT_EQ(GetLocalizedText("lc_Warning"), "Warning");
}
