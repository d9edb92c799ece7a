#include "i18n/window_texts.h"

#include "platform/ascii.h"

namespace pellora {
namespace {

// Identifiers from 100 on are texts of controls that the windows' first layout did not have (the
// header panel's button, the find dialog); the About dialog has a section of its own.
const std::vector<std::pair<std::string_view, std::vector<TTranslatableText>>>& Tables() {
  static const std::vector<std::pair<std::string_view, std::vector<TTranslatableText>>> tables = {
      {"wnd_pl_Main",
       {{"", "Caption", 1},
        {"File1", "Caption", 3},
        {"Windows1", "Caption", 4},
        {"acExit", "Caption", 7},
        {"acExit", "Hint", 8},
        {"acWinCascade", "Caption", 10},
        {"acWinCascade", "Hint", 11},
        {"acWinTileHorizontal", "Caption", 13},
        {"acWinTileHorizontal", "Hint", 14},
        {"acWinTileVertical", "Caption", 16},
        {"acWinTileVertical", "Hint", 17},
        {"acAbout", "Caption", 19},
        {"acAbout", "Hint", 20},
        {"acOpen", "Caption", 22},
        {"acOpen", "Hint", 23},
        {"acCloseChild", "Caption", 25},
        {"acCloseChild", "Hint", 26},
        {"wacTitle", "Caption", 33},
        {"wacRestore", "Caption", 34},
        {"wacMinimize", "Caption", 35},
        {"wacMaximize", "Caption", 36},
        {"wacMinAll", "Caption", 37},
        {"wacCloseAll", "Caption", 38},
        {"wacClose", "Caption", 39},
        {"wacAutoSize", "Caption", 40},
        {"WebUpdate", "InfoCaption.OkButton", 54},
        {"WebUpdate", "InfoCaption.CancelButton", 55},
        {"WebUpdate", "InfoCaption.CheckForUpdate", 56}}},
      {"mdi_pl_Viewer",
       {{"", "Caption", 1},
        {"Label1", "Caption", 52},
        {"DetailPanel", "Caption", 75},
        {"cbFilter", "Text", 76},
        {"cbFilter", "Items", 77},
        {"File1", "Caption", 78},
        {"N2", "Hint", 79},
        {"acView", "Caption", 85},
        {"acView", "Hint", 86},
        {"acCollect", "Caption", 87},
        {"acCollect", "Hint", 88},
        {"acFilter", "Caption", 91},
        {"acFilter", "Hint", 92},
        {"CheckAll1", "Caption", 93},
        {"UncheckAll1", "Caption", 94},
        {"InvertSelection1", "Caption", 95},
        {"acSaveMessages", "Caption", 110},
        {"acSaveMessages", "Hint", 111},
        {"acSaveAttachments", "Caption", 112},
        {"acSaveAttachments", "Hint", 113},
        {"sbCancel", "Caption", 114},
        {"acSaveAddresses", "Caption", 115},
        {"acSaveAddresses", "Hint", 116},
        {"acReload", "Caption", 120},
        {"acReload", "Hint", 121},
        {"acSaveList", "Caption", 122},
        {"acSaveList", "Hint", 123},
        {"acShowRecovered", "Caption", 124},
        {"acShowRecovered", "Hint", 125},
        {"acThreads", "Caption", 131},
        {"acThreads", "Hint", 132},
        // The reading pane and its View menu.
        {"View", "Caption", 140},
        {"ReadingPaneMenu", "Caption", 141},
        {"acPaneOff", "Caption", 142},
        {"acPaneBelow", "Caption", 143},
        {"acPaneRight", "Caption", 144},
        {"acPaneNext", "Caption", 145},
        {"lSubjectCaption", "Caption", 146},
        {"lFromCaption", "Caption", 147},
        {"lToCaption", "Caption", 148},
        {"lCCCaption", "Caption", 149},
        {"lDateCaption", "Caption", 150},
        {"panetsPlain", "Caption", 151},
        {"panetsHTML", "Caption", 152},
        {"panelRemote", "Caption", 153},
        {"panebLoadRemote", "Caption", 154},
        {"paneOpen1", "Caption", 155},
        {"paneSave1", "Caption", 156},
        {"paneSaveall1", "Caption", 157},
        {"panesd", "Title", 158}}},
      {"mdi_pl_Msg",
       {{"", "Caption", 1},
        {"tsBody", "Caption", 45},
        {"Label8", "Caption", 46},
        {"Label9", "Caption", 47},
        {"Label10", "Caption", 48},
        {"Label11", "Caption", 49},
        {"Label12", "Caption", 50},
        {"Label13", "Caption", 51},
        {"Label1", "Caption", 52},
        {"Label2", "Caption", 53},
        {"lvHops", "Columns[0].Caption", 54},
        {"lvHops", "Columns[1].Caption", 55},
        {"lvHops", "Columns[2].Caption", 56},
        {"lvHops", "Columns[3].Caption", 57},
        {"tsPlain", "Caption", 58},
        {"tsHTML", "Caption", 59},
        {"tsSource", "Caption", 62},
        {"eSource", "Text", 63},
        {"sd", "Title", 64},
        {"Copy1", "Caption", 67},
        {"pmFind", "Caption", 68},
        {"pmFindnext", "Caption", 69},
        {"SelectAll1", "Caption", 70},
        {"Open1", "Caption", 71},
        {"Save1", "Caption", 72},
        {"Saveall1", "Caption", 73},
        {"mmPrint", "Caption", 77},
        {"pmImg", "Caption", 81},
        {"SaveAs1", "Caption", 110},
        {"FlipButton", "Hint", 100},
        {"fd", "Caption", 101},
        {"fdLabel", "Caption", 102},
        {"fdWholeWord", "Caption", 103},
        {"fdMatchCase", "Caption", 104},
        {"fdDirection", "Caption", 105},
        {"fdUp", "Caption", 106},
        {"fdDown", "Caption", 107},
        {"fdFindNext", "Caption", 108},
        {"fdCancel", "Caption", 109},
        {"CopyLink", "Caption", 111},
        {"lRemote", "Caption", 112},
        {"bLoadRemote", "Caption", 113},
        {"MainMenu", "Caption", 114},
        {"mmPrintPreview", "Caption", 115},
        {"SavePdf1", "Caption", 116}}},
      {"wiz_pl_Open",
       {{"", "Caption", 1},           {"Button2", "Caption", 75}, {"Button1", "Caption", 76},
        {"GroupBox1", "Caption", 77}, {"sbOE", "Hint", 78},       {"sbEMLF", "Hint", 79},
        {"sbEML", "Hint", 80},        {"sbTB", "Hint", 81},       {"rb1", "Caption", 86},
        {"feEML", "Hint", 87},        {"deEML", "Hint", 88},      {"feOE", "Hint", 89},
        {"rb4", "Caption", 90},       {"rb2", "Caption", 91},     {"bOE", "Caption", 92},
        {"bEML", "Caption", 93},      {"feTB", "Hint", 94},       {"rb3", "Caption", 95},
        {"bTB", "Caption", 96},       {"odOE", "Filter", 97},     {"odEML", "Filter", 98},
        {"odTB", "Filter", 99}}},
      {"dlg_pl_Files", {{"", "Caption", 1}, {"bOK", "Caption", 2}, {"bLoad", "Caption", 3}}},
      {"dlg_pl_About",
       {{"", "Caption", 1},
        {"lSummary", "Caption", 2},
        {"lSystemLabel", "Caption", 3},
        {"lProcessorLabel", "Caption", 4},
        {"lMemoryLabel", "Caption", 5}}},
  };
  return tables;
}

} // namespace

const std::vector<std::string_view>& TranslatableSections() {
  static const std::vector<std::string_view> sections = [] {
    std::vector<std::string_view> names;
    for (const auto& [name, texts] : Tables())
      names.push_back(name);
    return names;
  }();
  return sections;
}

const std::vector<TTranslatableText>& TranslatableTexts(std::string_view section) {
  static const std::vector<TTranslatableText> none;
  for (const auto& [name, texts] : Tables())
    if (SameTextAscii(name, section)) return texts;
  return none;
}

} // namespace pellora
