#include "platform/file_types.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

using namespace pellora;

TEST(FileTypes, LooksUpBothWays) {
  pellora::test::TTempDir dir;
  LoadFileTypeRegistry(dir.Write("mime.types", "# comment\n"
                                               "image/jpeg\t\tjpeg jpg jpe\n"
                                               "application/x-thing\tthg\n"));
  EXPECT_EQ(ContentTypeForFile("photo.JPG"), "image/jpeg");
  EXPECT_EQ(ContentTypeForFile("a.thg"), "application/x-thing");
  EXPECT_EQ(ContentTypeForFile("noext"), "application/octet-stream");
  EXPECT_EQ(ContentTypeForFile("a.unknownext"), "application/octet-stream");
  EXPECT_EQ(ExtensionForContentType("IMAGE/JPEG"), ".jpg");
  EXPECT_EQ(ExtensionForContentType("application/x-thing"), ".thg");
  EXPECT_EQ(ExtensionForContentType("application/x-nothing"), "");

  LoadFileTypeRegistry(""); // no mime.types: the built-in table
  EXPECT_EQ(ContentTypeForFile("doc.pdf"), "application/pdf");
  EXPECT_EQ(ExtensionForContentType("application/pdf"), ".pdf");
  EXPECT_EQ(ExtensionForContentType("text/plain"), ".txt");
}
