#include "message_window/attachment_files.h"
#include "platform/pellora_error.h"
#include "platform/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace pellora;

TEST(AttachmentFiles, PrivateFolderIsOursAndClosed) {
  pellora::test::TTempDir tmp;
  setenv("TMPDIR", tmp.Path().c_str(), 1);
  std::string folder = PrivateTempFolder();
  struct stat st{};
  ASSERT_EQ(lstat(folder.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(PrivateTempFolder(), folder); // the same folder next time

  // A folder of that name open to others is not used.
  std::string planted = tmp / ("pellora-" + std::to_string(geteuid()));
  chmod(planted.c_str(), 0777);
  std::string other = PrivateTempFolder();
  EXPECT_NE(other, folder);
  ASSERT_EQ(lstat(other.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // A link planted in its place is not followed.
  rmdir(other.c_str());
  unsetenv("TMPDIR");
}

TEST(AttachmentFiles, WritesNeverFollowLinksAndAreNotExecutable) {
  pellora::test::TTempDir tmp;
  std::string victim = tmp.Write("victim.txt", "keep");
  std::string link = tmp / "report.pdf";
  ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
  EXPECT_THROW(WriteFileNoFollow(link, "evil"), EPelloraError);
  EXPECT_EQ(ReadWholeFile(victim), "keep");

  std::string path = tmp / "run.sh";
  tmp.Write("run.sh", "old");
  chmod(path.c_str(), 0755);
  WriteFileNoFollow(path, "new bytes");
  EXPECT_EQ(ReadWholeFile(path), "new bytes");
  struct stat st{};
  stat(path.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0111, 0u);

  EXPECT_THROW(WriteWholeFile(tmp / "missing/dir/x", "x"), EPelloraError);
}

TEST(AttachmentFiles, SafeFileNames) {
  struct Case { const char* in; const char* out; } cases[] = {
      {"", "attachment"}, {".", "attachment"}, {"..", "attachment"},
      {"a/b.txt", "a_b.txt"}, {"report.pdf", "report.pdf"}, {"...", "..."},
  };
  for (const auto& c : cases) EXPECT_EQ(SafeFileName(c.in), c.out) << c.in;
  std::string longName;
  for (int i = 0; i < 100; ++i)
    longName += "\xE6\x97\xA5"; // three bytes each
  EXPECT_EQ(SafeFileName(longName + ".pdf"), longName.substr(0, 3 * 83) + ".pdf");
  EXPECT_EQ(SafeFileName(std::string(300, 'n')), std::string(255, 'n'));
}
