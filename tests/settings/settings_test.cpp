// The settings logic over a store in memory: value encodings, lists, the form storage's restore
// and save rules, and where the settings file lives.
#include "platform/pellora_error.h"
#include "settings/app_registry_storage.h"
#include "settings/form_storage.h"
#include "settings/settings_file.h"
#include "support/scoped_env.h"

#include <gtest/gtest.h>

#include <map>

using namespace pellora;
using pellora::test::TScopedEnv;

namespace {

class TMemoryStorage : public TSettingsStorage {
public:
  std::optional<std::string> ReadValue(const std::string& key,
                                       const std::string& name) const override {
    auto k = Keys.find(key);
    if (k == Keys.end()) return std::nullopt;
    auto v = k->second.find(name);
    return v == k->second.end() ? std::nullopt : std::optional(v->second.Data);
  }
  void WriteValue(const std::string& key, const std::string& name, TSettingType type,
                  const std::string& data) override {
    Keys[key][name] = {type, data};
  }
  void DeleteValue(const std::string& key, const std::string& name) override {
    Keys[key].erase(name);
  }
  std::vector<std::string> ValueNames(const std::string& key) const override {
    std::vector<std::string> names;
    if (auto k = Keys.find(key); k != Keys.end())
      for (const auto& [name, value] : k->second)
        names.push_back(name);
    return names;
  }
  void Flush() override {
    ++Flushes;
    if (FailFlush) throw EPelloraError("Settings could not be saved to x.");
  }

  struct TValue {
    TSettingType Type;
    std::string Data;
  };
  std::map<std::string, std::map<std::string, TValue>> Keys;
  bool FailFlush = false;
  int Flushes = 0;
};

const std::string Root = "SOFTWARE\\Vantrel\\Pellora\\1.x";

// A window as the form storage sees it; what it is told is kept for the test to look at.
class TFakeWindow : public TFormWindow {
public:
  std::string Name = "wnd_pl_Main";
  TWindowPlacement Placement;
  int Ppi = 96;
  bool Main = true, Minimized = false, MinimizedChild = false;
  std::optional<TWindowPlacement> AppliedPlacement;
  std::optional<TWindowState> AppliedState;
  std::map<std::string, TPropertyValue> Props;

  std::string ComponentName() const override { return Name; }
  TWindowPlacement GetPlacement() const override { return Placement; }
  void SetPlacement(const TWindowPlacement& placement) override { AppliedPlacement = placement; }
  int PixelsPerInch() const override { return Ppi; }
  bool IsMainWindow() const override { return Main; }
  bool ApplicationMinimized() const override { return Minimized; }
  bool IsMinimizedChild() const override { return MinimizedChild; }
  void SetWindowState(TWindowState state) override { AppliedState = state; }
  std::optional<TPropertyValue> GetProperty(const std::string& name) const override {
    auto p = Props.find(name);
    return p == Props.end() ? std::nullopt : std::optional(p->second);
  }
  void SetProperty(const std::string& name, const TPropertyValue& value) override {
    Props[name] = value;
  }
};

class AppRegistryStorage : public ::testing::Test {
protected:
  TMemoryStorage memory;
  TAppRegistryStorage storage{memory};
};

class FormStorage : public ::testing::Test {
protected:
  TMemoryStorage memory;
  TAppRegistryStorage storage{memory};
  TFakeWindow window;
  const TFormOptions frameOptions{true, true, TWindowState::Maximized};
  const TFormOptions childOptions{false, true, TWindowState::Maximized};

  std::string Value(const std::string& key, const std::string& name) {
    return memory.ReadValue(Root + "\\" + key, name).value_or("<none>");
  }
  void Set(const std::string& key, const std::string& name, const std::string& data) {
    memory.WriteValue(Root + "\\" + key, name, TSettingType::Text, data);
  }
};

} // namespace

TEST_F(AppRegistryStorage, ValuesLiveInTheKeysOfTheirPath) {
  storage.WriteInteger("mdi_pl_Viewer\\HeaderPanel_Height", 200);
  storage.WriteString("mdi_pl_Viewer\\NormPos", "1,2,3,4");
  storage.WriteBoolean("mdi_pl_Msg\\FlipPanel_Expanded", false);
  const auto& viewer = memory.Keys.at(Root + "\\mdi_pl_Viewer");
  EXPECT_EQ(viewer.at("HeaderPanel_Height").Data, "200");
  EXPECT_EQ(viewer.at("HeaderPanel_Height").Type, TSettingType::Integer);
  EXPECT_EQ(viewer.at("NormPos").Type, TSettingType::Text);
  EXPECT_EQ(memory.Keys.at(Root + "\\mdi_pl_Msg").at("FlipPanel_Expanded").Data, "FALSE");
  EXPECT_EQ(storage.ReadInteger("mdi_pl_Viewer\\HeaderPanel_Height", 135), 200);
  EXPECT_EQ(storage.ReadInteger("mdi_pl_Viewer\\Missing", 135), 135);
  EXPECT_TRUE(storage.ValueExists("mdi_pl_Viewer\\NormPos"));
  storage.DeleteValue("mdi_pl_Viewer\\NormPos");
  EXPECT_FALSE(storage.ValueExists("mdi_pl_Viewer\\NormPos"));
}

TEST_F(AppRegistryStorage, TextsReadAsTheirType) {
  struct {
    const char* text;
    std::optional<bool> boolean;
    std::optional<int32_t> integer;
  } cases[] = {
      {"TRUE", true, std::nullopt},  {"yes", true, std::nullopt},   {"y", true, std::nullopt},
      {"False", false, std::nullopt}, {"NO", false, std::nullopt},  {"n", false, std::nullopt},
      {"maybe", std::nullopt, std::nullopt}, {"", std::nullopt, std::nullopt},
      {"-12", std::nullopt, -12},    {"4294967295", std::nullopt, -1}, // a DWORD of another writer
      {"4294967296", std::nullopt, std::nullopt}, {"12px", std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    storage.WriteString("k\\v", c.text);
    EXPECT_EQ(storage.TryReadBoolean("k\\v"), c.boolean) << c.text;
    EXPECT_EQ(storage.TryReadInteger("k\\v"), c.integer) << c.text;
  }
  EXPECT_TRUE(storage.ReadBoolean("k\\v", true)); // "12px": the default
}

TEST_F(AppRegistryStorage, ListsKeepCountAndItemsAndLoseTheSurplus) {
  storage.WriteStrings("wiz_pl_Open\\deEML_Items", {"/a", "/b", "/c"});
  const std::string key = Root + "\\wiz_pl_Open\\deEML_Items";
  EXPECT_EQ(memory.ReadValue(key, "Count"), "3");
  EXPECT_EQ(memory.ReadValue(key, "Item2"), "/c");
  storage.WriteStrings("wiz_pl_Open\\deEML_Items", {"/a", "/b"});
  EXPECT_EQ(memory.ReadValue(key, "Count"), "2");
  EXPECT_EQ(memory.ReadValue(key, "Item2"), std::nullopt);
  EXPECT_EQ(memory.ValueNames(key), (std::vector<std::string>{"Count", "Item0", "Item1"}));
  EXPECT_EQ(storage.TryReadStrings("wiz_pl_Open\\deEML_Items"),
            (std::vector<std::string>{"/a", "/b"}));
  EXPECT_TRUE(storage.ListExists("wiz_pl_Open\\deEML_Items"));
  EXPECT_EQ(storage.TryReadStrings("wiz_pl_Open\\feTB_Items"), std::nullopt);
}

// A program that quits with several windows open says once that its settings cannot be saved;
// once saving works again, the next failure is told again.
TEST_F(AppRegistryStorage, AFailingFlushIsRaisedOnceUntilOneSucceeds) {
  memory.FailFlush = true;
  EXPECT_THROW(storage.Flush(), EPelloraError);
  EXPECT_NO_THROW(storage.Flush());
  EXPECT_NO_THROW(storage.Flush());
  memory.FailFlush = false;
  storage.Flush();
  memory.FailFlush = true;
  EXPECT_THROW(storage.Flush(), EPelloraError);
  EXPECT_EQ(memory.Flushes, 5);
}

TEST_F(FormStorage, FirstStartLeavesTheFormAsItIsAndMaximizesTheFrame) {
  window.Props["HeaderPanel.Height"] = int32_t(135);
  TFormStorage(storage, "%FORM_NAME%\\", frameOptions, {"HeaderPanel.Height"}).Restore(window);
  EXPECT_FALSE(window.AppliedPlacement);
  EXPECT_EQ(window.AppliedState, TWindowState::Maximized);
  EXPECT_EQ(std::get<int32_t>(window.Props["HeaderPanel.Height"]), 135);
}

TEST_F(FormStorage, SaveWritesEveryValueAndRestoreAppliesThem) {
  window.Placement = {0, TWindowPlacement::ShowNormal, -1, -1, -1, -1, 10, 20, 810, 620};
  window.Props = {{"FlipPanel.Expanded", false},
                  {"List.Height", int32_t(120)},
                  {"deEML.Items", std::vector<std::string>{"/m/a", "/m/b"}}};
  TFormStorage form(storage, "%form_name%\\", frameOptions,
                    {"FlipPanel.Expanded", "List.Height", "deEML.Items"});
  form.Save(window);
  EXPECT_EQ(Value("wnd_pl_Main", "FormVersion"), "0");
  EXPECT_EQ(Value("wnd_pl_Main", "ShowCmd"), "1");
  EXPECT_EQ(Value("wnd_pl_Main", "Flags"), "0");
  EXPECT_EQ(Value("wnd_pl_Main", "PixelsPerInch"), "96");
  EXPECT_EQ(Value("wnd_pl_Main", "MinMaxPos"), "-1,-1,-1,-1");
  EXPECT_EQ(Value("wnd_pl_Main", "NormPos"), "10,20,810,620");
  EXPECT_EQ(Value("wnd_pl_Main", "FlipPanel_Expanded"), "FALSE");
  EXPECT_EQ(Value("wnd_pl_Main", "List_Height"), "120");
  EXPECT_EQ(Value("wnd_pl_Main\\deEML_Items", "Item1"), "/m/b");
  EXPECT_EQ(memory.Flushes, 1);

  TFakeWindow next;
  next.Props = {{"FlipPanel.Expanded", true},
                {"List.Height", int32_t(78)},
                {"deEML.Items", std::vector<std::string>{}}};
  form.Restore(next);
  ASSERT_TRUE(next.AppliedPlacement);
  EXPECT_EQ(next.AppliedPlacement->Left, 10);
  EXPECT_EQ(next.AppliedPlacement->Bottom, 620);
  EXPECT_EQ(next.AppliedState, TWindowState::Normal);
  EXPECT_EQ(next.Props, window.Props);
}

TEST_F(FormStorage, PlacementOfAnotherScreenDensityIsDroppedButPropertiesKept) {
  Set("mdi_pl_Viewer", "NormPos", "10,20,810,620");
  Set("mdi_pl_Viewer", "PixelsPerInch", "120");
  Set("mdi_pl_Viewer", "HeaderPanel_Height", "200");
  window.Props["HeaderPanel.Height"] = int32_t(135);
  TFormStorage(storage, "mdi_pl_Viewer\\", childOptions, {"HeaderPanel.Height"}).Restore(window);
  EXPECT_FALSE(window.AppliedPlacement);
  EXPECT_FALSE(window.AppliedState); // children keep no state
  EXPECT_EQ(std::get<int32_t>(window.Props["HeaderPanel.Height"]), 200);
}

TEST_F(FormStorage, PlacementNeedsAReadableNonEmptyRectangle) {
  struct {
    const char* normPos;
    const char* minMaxPos;
    bool applied;
  } cases[] = {
      {"10,20,810,620", nullptr, true},
      {"810,20,10,620", nullptr, false},   // left not less than right
      {"10,20,x,620", nullptr, false},     // not four numbers: as if absent
      {"10,20,810", nullptr, false},
      {"10,20,810,620,5", nullptr, false},
      {nullptr, "-1,-1,-1,-1", true},      // the window's own rectangle, positions from the text
      {nullptr, nullptr, false},
  };
  for (const auto& c : cases) {
    memory.Keys.clear();
    if (c.normPos) Set("mdi_pl_Msg", "NormPos", c.normPos);
    if (c.minMaxPos) Set("mdi_pl_Msg", "MinMaxPos", c.minMaxPos);
    window = TFakeWindow();
    window.Placement.Right = 500;
    TFormStorage(storage, "mdi_pl_Msg\\", childOptions, {}).Restore(window);
    EXPECT_EQ(window.AppliedPlacement.has_value(), c.applied)
        << (c.normPos ? c.normPos : "-") << " " << (c.minMaxPos ? c.minMaxPos : "-");
  }
}

TEST_F(FormStorage, ShowCommandsGiveTheFramesState) {
  struct {
    const char* showCmd;
    TWindowState state;
  } cases[] = {
      {"1", TWindowState::Normal},    {"5", TWindowState::Normal},
      {"9", TWindowState::Normal},    {"2", TWindowState::Minimized},
      {"6", TWindowState::Minimized}, {"7", TWindowState::Minimized},
      {"3", TWindowState::Maximized}, {"0", TWindowState::Maximized},
      {"4", TWindowState::Maximized}, {"x", TWindowState::Maximized},
  };
  for (const auto& c : cases) {
    Set("wnd_pl_Main", "ShowCmd", c.showCmd);
    TFormStorage(storage, "%FORM_NAME%\\", frameOptions, {}).Restore(window);
    EXPECT_EQ(window.AppliedState, c.state) << c.showCmd;
  }
}

TEST_F(FormStorage, MinimizedWindowsAreWrittenAsSuch) {
  window.Minimized = true;
  window.Placement.ShowCmd = TWindowPlacement::ShowNormal;
  TFormStorage(storage, "%FORM_NAME%\\", frameOptions, {}).Save(window);
  EXPECT_EQ(Value("wnd_pl_Main", "ShowCmd"), "2");

  TFakeWindow child;
  child.Name = "mdi_pl_Viewer123";
  child.Main = false;
  child.MinimizedChild = true;
  TFormStorage(storage, "mdi_pl_Viewer\\", childOptions, {}).Save(child);
  EXPECT_EQ(Value("mdi_pl_Viewer", "Flags"), "1");
  EXPECT_EQ(Value("mdi_pl_Viewer", "ShowCmd"), "<none>");
}

TEST_F(FormStorage, UnreadableOrMissingPropertiesKeepTheFormsValues) {
  Set("mdi_pl_Msg", "FlipPanel_Expanded", "perhaps");
  Set("mdi_pl_Msg", "List_Height", "tall");
  window.Props = {{"FlipPanel.Expanded", true}, {"List.Height", int32_t(78)}};
  TFormStorage(storage, "mdi_pl_Msg\\", childOptions,
               {"FlipPanel.Expanded", "List.Height", "pcBody.ActivePageIndex"})
      .Restore(window);
  EXPECT_TRUE(std::get<bool>(window.Props["FlipPanel.Expanded"]));
  EXPECT_EQ(std::get<int32_t>(window.Props["List.Height"]), 78);
  EXPECT_FALSE(window.Props.contains("pcBody.ActivePageIndex")); // the window has none
}

TEST(SettingsFile, FolderFromTheEnvironment) {
  TScopedEnv home("HOME", "/home/ann");
  {
    TScopedEnv own("PELLORA_CONFIG_DIR", "/tmp/cfg/");
    TScopedEnv xdg("XDG_CONFIG_HOME", "/home/ann/xdg");
    EXPECT_EQ(SettingsFilePath(), "/tmp/cfg/Vantrel/Pellora.ini");
  }
  TScopedEnv own("PELLORA_CONFIG_DIR", nullptr);
  {
    TScopedEnv xdg("XDG_CONFIG_HOME", "/home/ann/xdg");
    EXPECT_EQ(SettingsFilePath(), "/home/ann/xdg/Vantrel/Pellora.ini");
  }
  {
    TScopedEnv xdg("XDG_CONFIG_HOME", "relative"); // not absolute: ignored
    EXPECT_EQ(SettingsFilePath(), "/home/ann/.config/Vantrel/Pellora.ini");
  }
}
