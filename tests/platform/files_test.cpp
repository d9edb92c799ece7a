#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/pellora_error.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

using namespace pellora;
using pellora::test::TTempDir;

TEST(Files, MaskMatching) {
  struct Case { const char* name; const char* mask; bool match; } cases[] = {
      {"a.eml", "*.eml", true},     {"A.EML", "*.eml", true},     {"a.emlx", "*.eml", false},
      {"Inbox.dbx", "*.?bx", true}, {"Inbox.mbx", "*.?bx", true}, {"Inbox.bx", "*.?bx", false},
      {"Inbox", "*.", true},        {"Inbox.msf", "*.", false},   {"Inbox", "*.*", true},
      {"x.y.z", "*.*", true},       {"Inbox", "*", true},         {"abc", "a?c", false},
      {"a.b", "a?b", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MatchesMask(c.name, c.mask), c.match) << c.name << " ~ " << c.mask;
}

TEST(Files, FindFilesFiltersMasksAndRecursion) {
  TTempDir dir;
  dir.Write("one.eml", "12345");
  dir.Write("TWO.EML", "123");
  dir.Write("notes.txt", "1");
  dir.Write("Inbox", "1234567");
  dir.Write("sub.eml/three.eml", "12");
  dir.Write("sub.eml/deeper/four.eml", "1");

  std::vector<std::string> list;
  EXPECT_EQ(FindFiles(dir.Path(), "*.eml", faAnyFile, false, &list), 8u);
  std::vector<std::string> names;
  for (auto& p : list) names.push_back(p.substr(dir.Path().size() + 1));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"TWO.EML", "one.eml", "sub.eml"}));

  list.clear();
  EXPECT_EQ(FindFiles(dir.Path(), "*.eml", faAnyFile, true, &list), 11u);
  auto pos = [&](const std::string& name) {
    return std::find(list.begin(), list.end(), dir / name) - list.begin();
  };
  ASSERT_EQ(list.size(), 5u);
  EXPECT_LT(pos("sub.eml"), pos("sub.eml/three.eml")); // a folder before its contents
  EXPECT_LT(pos("sub.eml"), pos("sub.eml/deeper/four.eml"));

  list.clear();
  FindFiles(dir.Path(), "*.", faAnyFile, true, &list);
  names.clear();
  for (auto& p : list) names.push_back(p.substr(dir.Path().size() + 1));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Inbox", "sub.eml/deeper"}));

  list.clear();
  EXPECT_EQ(FindFiles(dir.Path(), "*.*", 0x10, true, &list), 0u); // folders only, size 0
  EXPECT_EQ(list.size(), 2u);

  EXPECT_EQ(FindFiles(dir / "missing", "*.*", faAnyFile, true, nullptr), 0u);
}

TEST(Files, WholeFileAndPathParts) {
  TTempDir dir;
  std::string path = dir.Write("a.bin", std::string("x\0y\r\n", 5));
  EXPECT_EQ(ReadWholeFile(path), std::string("x\0y\r\n", 5));
  EXPECT_THROW(ReadWholeFile(dir / "none"), EPelloraError);
  EXPECT_TRUE(FileExists(path));
  EXPECT_FALSE(FileExists(dir.Path()));
  EXPECT_TRUE(DirectoryExists(dir.Path()));

  EXPECT_EQ(ExtractFileExt("/m/Mail.box/Inbox"), "");
  EXPECT_EQ(ExtractFileExt("/m/Inbox.DBX"), ".DBX");
  EXPECT_EQ(ExtractFileName("/m/Inbox.DBX"), "Inbox.DBX");
  EXPECT_EQ(ExtractFilePath("/m/Inbox.DBX"), "/m/");
  EXPECT_EQ(TempFolder().back(), '/');
}

// Sockets and locks go where no other user can put a name first: XDG_RUNTIME_DIR when it is
// private, else a folder of the user's own cache folder.
TEST(Files, RuntimeFolderIsPrivate) {
  TTempDir tmp;
  std::string xdg = tmp.MakeDir("xdg");
  chmod(xdg.c_str(), 0700);
  tmp.MakeDir("t");
  std::string cache = tmp / "home/.cache";
  test::TScopedEnv tmpdir("TMPDIR", (tmp / "t").c_str());
  test::TScopedEnv home("HOME", (tmp / "home").c_str());
  std::optional<test::TScopedEnv> cacheHome(std::in_place, "XDG_CACHE_HOME", nullptr);
  std::optional<test::TScopedEnv> runtime(std::in_place, "XDG_RUNTIME_DIR", xdg.c_str());
  EXPECT_EQ(RuntimeFolder(), xdg + "/");

  // A runtime folder open to others is not used, nor is a name of the shared temporary folder
  // that another user may have made first (open to all): a closed folder below the user's cache.
  chmod(xdg.c_str(), 0755);
  std::string taken = tmp / ("t/pellora-run-" + std::to_string(geteuid()));
  ASSERT_EQ(mkdir(taken.c_str(), 0777), 0);
  chmod(taken.c_str(), 0777);
  std::string own = RuntimeFolder();
  ASSERT_EQ(own.rfind(cache + "/pellora/", 0), 0u) << own;
  EXPECT_EQ(own.back(), '/');
  struct stat st{};
  ASSERT_EQ(lstat(own.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  runtime.emplace("XDG_RUNTIME_DIR", nullptr);
  EXPECT_EQ(RuntimeFolder(), own);

  // XDG_CACHE_HOME names the cache folder when it is absolute.
  cacheHome.emplace("XDG_CACHE_HOME", (tmp / "cache").c_str());
  EXPECT_EQ(RuntimeFolder().rfind(tmp / "cache/pellora/", 0), 0u);

  // That folder opened up, or a link in its place, gives none.
  std::string folder = ExcludeTrailingPathDelimiter(RuntimeFolder());
  chmod(folder.c_str(), 0777);
  EXPECT_EQ(RuntimeFolder(), "");
  rmdir(folder.c_str());
  ASSERT_EQ(symlink(xdg.c_str(), folder.c_str()), 0);
  chmod(xdg.c_str(), 0700);
  EXPECT_EQ(RuntimeFolder(), "");
}

TEST(IniFile, ProfileStringReading) {
  TTempDir dir;
  std::string file = dir.Write("profiles.ini", "\xEF\xBB\xBF[General]\r\nStartWithLastProfile=1\r\n"
                                               "\r\n[Profile0]\r\nName = default \r\n"
                                               "path=\"Profiles/a b.default\"\r\n"
                                               "; Path=commented\r\nPath=second\r\n"
                                               "[profile1]\nIsRelative=0\nPath=D:/tb\n"
                                               "[Profile0]\nExtra=later\n");
  struct Case {
    const char* section;
    const char* key;
    const char* value;
  } cases[] = {
      {"General", "StartWithLastProfile", "1"},
      {"Profile0", "Name", "default"},
      {"PROFILE0", "Path", "Profiles/a b.default"}, // first of the name, quotes removed
      {"Profile1", "PATH", "D:/tb"},
      {"Profile0", "Extra", "<default>"}, // a section named again is not read
      {"Profile2", "Path", "<default>"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(GetPrivateProfileString(c.section, c.key, "<default>", file), c.value)
        << c.section << "." << c.key;
  EXPECT_EQ(GetPrivateProfileString("Profile0", "Path", "none", dir / "missing.ini"), "none");
}
