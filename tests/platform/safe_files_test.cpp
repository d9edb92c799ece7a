#include "platform/safe_files.h"
#include "platform/files.h"
#include "platform/pellora_error.h"
#include "platform/unicode.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

using namespace pellora;

namespace {

std::string Repeat(std::string_view piece, int times) {
  std::string s;
  for (int i = 0; i < times; ++i)
    s += piece;
  return s;
}

} // namespace

TEST(AttachmentFiles, PrivateFolderIsThisProcesssAndGoesAtTheEnd) {
  pellora::test::TTempDir tmp;
  pellora::test::TScopedEnv tmpdir("TMPDIR", tmp.Path().c_str());
  std::string folder = PrivateTempFolder();
  struct stat st{};
  ASSERT_EQ(lstat(folder.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(PrivateTempFolder(), folder); // the same folder next time
  // Not a name another user could take first.
  EXPECT_NE(folder, tmp / ("pellora-" + std::to_string(geteuid())) + "/");

  // Gone (a cleaner emptied the temporary folder): a new one.
  WriteFileNoFollow(folder + "a.pdf", "x");
  std::filesystem::remove_all(folder);
  std::string second = PrivateTempFolder();
  ASSERT_NE(second, folder);

  // The end removes every folder made, with its files, but nothing a link inside points at.
  std::string victim = tmp.Write("keep/victim.txt", "keep");
  ASSERT_EQ(symlink((tmp / "keep").c_str(), (second + "link").c_str()), 0);
  WriteFileNoFollow(second + "report.pdf", "%PDF");
  RemovePrivateTempFolders();
  EXPECT_FALSE(EntryExists(second));
  EXPECT_EQ(ReadWholeFile(victim), "keep");
}

TEST(AttachmentFiles, WritesReplaceLinksNeverFollowThem) {
  pellora::test::TTempDir tmp;
  std::string victim = tmp.Write("victim.txt", "keep");
  // A link to a file and a dangling link: each is replaced by the new file itself.
  std::string link = tmp / "report.pdf";
  std::string dangling = tmp / "notes.txt";
  ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
  ASSERT_EQ(symlink((tmp / "created-through-link").c_str(), dangling.c_str()), 0);
  EXPECT_TRUE(EntryExists(dangling));
  EXPECT_FALSE(FileExists(dangling));
  WriteWholeFile(link, "new");
  WriteFileNoFollow(dangling, "new");
  EXPECT_EQ(ReadWholeFile(victim), "keep");
  EXPECT_FALSE(EntryExists(tmp / "created-through-link"));
  struct stat st{};
  for (const std::string& path : {link, dangling}) {
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode)) << path;
    EXPECT_EQ(ReadWholeFile(path), "new");
  }

  // An executable file of that name leaves no execute bit behind.
  std::string path = tmp.Write("run.sh", "old");
  chmod(path.c_str(), 0755);
  WriteFileNoFollow(path, "new bytes");
  EXPECT_EQ(ReadWholeFile(path), "new bytes");
  stat(path.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // Failures name the path; nothing half-written is left.
  EXPECT_THROW(WriteWholeFile(tmp / "missing/dir/x", "x"), EPelloraError);
  std::string folder = tmp.MakeDir("taken");
  EXPECT_THROW(WriteWholeFile(folder, "x"), EPelloraError);
  std::vector<std::string> left;
  FindFiles(tmp.Path(), ".pellora-*", faAnyFile, false, &left);
  EXPECT_TRUE(left.empty());
}

TEST(AttachmentFiles, SafeFileNames) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"", "attachment"},
      {".", "attachment"},
      {"..", "attachment"},
      {"...", "attachment"},
      {".bash_profile", "bash_profile"},
      {"..hidden.txt", "hidden.txt"},
      {"a/b.txt", "a_b.txt"},
      {"../../etc/passwd", "_.._etc_passwd"},
      {std::string("x\0y", 3), "x_y"},
      {"report.pdf", "report.pdf"},
      {"ab\xC3", "ab"}, // cut inside a character by bytes before
      {Repeat("\xC3\xA9", 200) + ".pdf", Repeat("\xC3\xA9", 125) + ".pdf"},
      {Repeat("\xE2\x82\xAC", 100), Repeat("\xE2\x82\xAC", 84)},
      {Repeat("a", 300), Repeat("a", 254)},
      // Direction and other format characters would show the name otherwise than it is.
      {"\xC3\xA9vil\xE2\x80\xAEtxt.exe", "\xC3\xA9viltxt.exe"},
      {"a\xE2\x80\x8E\xE2\x80\x8F\xE2\x80\xAA\xE2\x80\xAB\xE2\x80\xAC\xE2\x80\xAD.txt", "a.txt"},
      {"b\xE2\x81\xA6\xE2\x81\xA7\xE2\x81\xA8\xE2\x81\xA9.txt", "b.txt"},
      {"soft\xC2\xADhy\xE2\x80\x8Bphen\xEF\xBB\xBF.pdf", "softhyphen.pdf"},
      {"tag\xF3\xA0\x80\x81\xF3\xA0\x81\xA5.txt", "tag.txt"},
      {"\xE2\x80\xAE", "attachment"},
      {"\xE2\x80\x94 dash \xD0\xB6.txt", "\xE2\x80\x94 dash \xD0\xB6.txt"}, // not format characters
      // A name that begins with "-" is no command-line option.
      {"-rf", "_-rf"},
      {"..-n.txt", "_-n.txt"},
      {"\xE2\x80\xAE-x", "_-x"},
  };
  for (const auto& c : cases) {
    std::string safe = SafeFileName(c.in);
    EXPECT_EQ(safe, c.out) << c.in;
    EXPECT_LE(safe.size(), 254u);
    EXPECT_TRUE(IsValidUtf8(safe)) << c.in;
  }
  // A name of 254 two-byte characters is written, not refused as too long.
  pellora::test::TTempDir tmp;
  std::string name = SafeFileName(Repeat("\xC3\xA9", 254) + ".txt");
  WriteWholeFile(tmp / name, "x");
  EXPECT_TRUE(FileExists(tmp / name));
}
