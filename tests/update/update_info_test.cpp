#include "update/update_info.h"

#include <gtest/gtest.h>

using namespace pellora;

TEST(UpdateTags, ReadFromMetaLines) {
  TUpdateTags tags;
  ReadUpdateTags(
      "<html><head>\r\n"
      "<META NAME=\"PELLORAName\" CONTENT=\"Pellora\">\r\n"
      "<META NAME=\"PELLORAVersion\" content=\"1.5.0.9\">\n"
      "<META NAME=\"PELLORAVersion\" Content=\"1.5.0.12\">\n"        // a later line replaces
      "<meta name=\"PELLORADownload\" content=\"http://x/lower\">\n" // lower case: not found
      "<META NAME=\"updAuthor\" CONTENT=\"Vantrel\"><META NAME=\"updEmail\" CONTENT=\"e\">\n"
      "<META NAME=\"pelloraFile\" CONTENT=\"wrong case\">\n"
      "<META NAME=\"updRunParameters\" CONTENT=\"no closing quote>\n"
      "<META NAME=\"updRedirection\">\n",
      tags);
  EXPECT_EQ(tags.productName, "Pellora");
  EXPECT_EQ(tags.version, "1.5.0.12");
  EXPECT_EQ(tags.download, "");
  EXPECT_EQ(tags.author, "Vantrel"); // only the first META NAME of a line counts
  EXPECT_EQ(tags.email, "");
  EXPECT_EQ(tags.file, "");
  EXPECT_EQ(tags.runParameters, "");
  EXPECT_EQ(tags.redirection, "");

  TUpdateTags far;
  ReadUpdateTags("<META NAME=\"PELLORAName\" CONTENT=\"" + std::string(300, 'x') + "\">", far);
  EXPECT_EQ(far.productName, ""); // the closing quote is looked for within 255 characters
}

TEST(UpdateVersion, ComparesDottedFields) {
  struct Case {
    const char* program;
    const char* page;
    bool newer;
  } cases[] = {
      {"1.5.0.9", "1.5.0.12", true}, {"1.5.0.12", "1.5.0.9", false}, {"1.5.0.9", "1.5.0.9", false},
      {"1.5", "1.5.0.1", false},     {"1.5.0.1", "1.5", false},      {"1.5.0.0", "1.5", false},
      {"1.5.0.0", "1.6", true},      {"2.0.0.0", "1.9.9.9", false},  {"1.0.0.0", "1.x.0.1", true},
      {"1.0.0.0", "", false},        {"0.1.0.0", "0.1.0.1", true},   {"1.a.0.0", "1.0.0.1", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsNewerVersion(c.program, c.page), c.newer) << c.program << " " << c.page;
  EXPECT_EQ(ProductVersionText("0.1.0"), "0.1.0.0");
  EXPECT_EQ(ProductVersionText("1.2.3.4"), "1.2.3.4");
}

TEST(UpdateAddress, ResolvesAndLimitsRedirections) {
  const char* info = "http://updates.example/pellora/info.html";
  struct Case {
    const char* address;
    const char* resolved;
  } cases[] = {
      {"http://other.example/a.html", "http://other.example/a.html"},
      {"HTTP://other.example", "http://other.example/"},
      {"https://secure.example/x", "https://secure.example/x"},
      {"/moved.html", "http://updates.example/moved.html"},
      {"plain.example/page", "http://plain.example/page"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ResolveUpdateAddress(c.address, info), c.resolved) << c.address;

  TRedirections loop(info);
  EXPECT_EQ(loop.Next(info), ""); // a page naming itself
  EXPECT_EQ(loop.Next("/b"), "http://updates.example/b");
  EXPECT_EQ(loop.Next("http://updates.example/b"), ""); // never the same address twice

  TRedirections chain(info);
  for (int i = 0; i < TRedirections::MaxRedirections; ++i)
    EXPECT_NE(chain.Next("/page" + std::to_string(i)), "");
  EXPECT_EQ(chain.Next("/one-more"), "");
}

TEST(UpdateSwitch, NoUpdateCheck) {
  for (const char* yes : {"/NUC", "-nuc", "/nUc", "-NUC"})
    EXPECT_TRUE(IsNoUpdateSwitch(yes)) << yes;
  for (const char* no : {"NUC", "/NUCX", "--nuc", "/nu", "nuc.eml"})
    EXPECT_FALSE(IsNoUpdateSwitch(no)) << no;
}

TEST(UpdateQuestion, JoinsTheTwoConstants) {
  EXPECT_EQ(UpdateQuestion("1.5.0.12"),
            "New version 1.5.0.12 is available.\r\nDo you want to download it?");
}
