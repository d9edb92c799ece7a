#include "exercise_message.h"
#include "mime/mail_message.h"
#include "platform/files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace pellora;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> FilesUnder(const std::string& folder) {
  std::vector<std::string> files;
  if (!fs::is_directory(folder)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

std::string DataDir() {
  std::string dir = test::SharedDataDir();
  return dir;
}

TDateTime Local(int y, int m, int d, int h, int n, int s) {
  TDateTime date = 0, time = 0;
  EXPECT_TRUE(TryEncodeDate(y, m, d, date));
  EXPECT_TRUE(TryEncodeTime(h, n, s, 0, time));
  return ComposeDateTime(date, time);
}

} // namespace

TEST(RealMessages, EveryFileParses) {
  std::string dir = DataDir();
  if (dir.empty()) GTEST_SKIP() << "shared data folder is absent";
  std::vector<std::string> files = FilesUnder(dir + "/eml");
  for (const auto& f : FilesUnder(dir + "/thunderbird"))
    files.push_back(f);
  ASSERT_GT(files.size(), 90u);
  for (const auto& path : files) {
    SCOPED_TRACE(path);
    TMailMessage m;
    ASSERT_NO_THROW(m.ReadFromFile(path));
    ASSERT_NO_THROW(test::ExerciseParsedMessage(m));
    EXPECT_FALSE(m.HeaderLines().empty());
  }
}

TEST(RealMessages, FactsCheckedByEye) {
  std::string dir = DataDir();
  if (dir.empty()) GTEST_SKIP() << "shared data folder is absent";
  {
    TMailMessage m;
    m.ReadFromFile(dir + "/eml/enmime/mail/mime-mixed.raw");
    m.FindBodies();
    EXPECT_EQ(m.FromName(), "James Hillyerd");
    EXPECT_EQ(m.FromAddress(), "jamehi03@jamehi03lx.noa.com");
    EXPECT_EQ(m.ToList().Address(0), "greg@inbucket.com");
    EXPECT_EQ(m.SubjectText(), "Multipart Mixed");
    EXPECT_DOUBLE_EQ(m.MessageDate(), Local(2012, 10, 19, 21, 22, 49)); // -0700 read in Prague
    // The second text part follows the first: more of the text, not an attachment.
    EXPECT_EQ(m.TextLines(), (std::vector<std::string>{"Section one", "Section two"}));
    EXPECT_EQ(m.Attachments().Count(), 0);
  }
  {
    TMailMessage m;
    m.ReadFromFile(dir + "/eml/enmime/mail/qp-utf8-header.raw");
    m.FindBodies();
    EXPECT_EQ(m.ToList().Name(0), "Miros?aw Marczak"); // no such letter in code page 1252
    EXPECT_EQ(m.ToList().Address(0), "marczak@inbucket.com");
    ASSERT_FALSE(m.TextLines().empty());
    EXPECT_EQ(m.TextLines()[0].substr(0, 11), "Lorem ipsum");
    EXPECT_NE(m.HtmlPart(), nullptr);
  }
  {
    TMailMessage m;
    m.ReadFromFile(dir + "/thunderbird/multipart-complex1");
    m.FindBodies();
    EXPECT_EQ(m.EncodedBody(), "This shouldn't appear.\r\n");
    ASSERT_FALSE(m.HtmlLines().empty());
    EXPECT_EQ(m.HtmlLines()[0], "<html><head>This part should be returned.</head></html>");
    EXPECT_NE(m.RelatedPart(), nullptr);
    ASSERT_GE(m.Attachments().Count(), 2);
    m.Attachments()[0]->DecodeBody();
    EXPECT_EQ(m.Attachments()[0]->DecodedBody(),
              "This isn't really an application/octet-stream. ;)");
  }
  {
    TMailMessage m;
    m.ReadFromFile(dir + "/thunderbird/image-attach-test");
    m.FindBodies();
    EXPECT_EQ(m.FromName(), "Foo Bar");
    EXPECT_EQ(m.SubjectText(), "image attach test");
    ASSERT_EQ(m.Attachments().Count(), 1);
    EXPECT_EQ(m.Attachments()[0]->AttachmentFileName(), "check.gif");
    m.Attachments()[0]->DecodeBody();
    EXPECT_EQ(m.Attachments()[0]->DecodedBody().substr(0, 6), "GIF89a");
  }
}

// Inputs that once broke the fuzz target stay fixed.
TEST(RealMessages, FuzzRegressionsReplay) {
  int count = 0;
  for (const auto& path : FilesUnder(PELLORA_MIME_REGRESSIONS)) {
    SCOPED_TRACE(path);
    EXPECT_NO_THROW(test::ExerciseMessage(ReadWholeFile(path)));
    ++count;
  }
  if (count == 0) GTEST_SKIP() << "no regression inputs";
}
